#include "platform/FontConfiguration.h"

#if defined(__linux__)
#include <fontconfig/fontconfig.h>

void FontConfiguration::load() {
    // FcInit() makes the current configuration, which the toolkit's own FcInit() and font
    // calls then find in place.
    FcInit();
}
#else
void FontConfiguration::load() {}
#endif
