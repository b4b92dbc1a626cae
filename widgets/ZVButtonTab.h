#pragma once

#include "widgets/ZVTwoStateButton.h"

// One tab of a row of tabs: an off (0) and an on (1) picture. A press turns it on and
// reports 1; it never turns itself off, the owner does that for the other tabs.
// GUI thread; owned by its parent widget.
class ZVButtonTab : public ZVTwoStateButton {
    Q_OBJECT

public:
    explicit ZVButtonTab(QWidget* parent);

protected:
    bool pressedState(bool current) const override;
};
