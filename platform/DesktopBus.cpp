#include "platform/DesktopBus.h"

bool DesktopBus::inUse() {
#if defined(__linux__)
    return true;
#else
    return false;
#endif
}
