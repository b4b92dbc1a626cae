#include "widgets/ZVButtonTab.h"

ZVButtonTab::ZVButtonTab(QWidget* parent) : ZVTwoStateButton(parent) {}

bool ZVButtonTab::pressedState(bool) const {
    return true; // on, and a tab that is on stays as it is
}
