#include "widgets/ZVButtonToggle.h"

ZVButtonToggle::ZVButtonToggle(QWidget* parent) : ZVTwoStateButton(parent) {}

bool ZVButtonToggle::pressedState(bool current) const {
    return !current;
}
