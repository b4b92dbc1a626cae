#pragma once

#include "widgets/ZVTwoStateButton.h"

// A check box drawn with an off (0) and an on (1) picture: a press flips it and reports
// the new state. GUI thread; owned by its parent widget.
class ZVButtonToggle : public ZVTwoStateButton {
    Q_OBJECT

public:
    explicit ZVButtonToggle(QWidget* parent);

protected:
    bool pressedState(bool current) const override;
};
