#pragma once

#include <functional>

class QPushButton;

// The widget layer's one callback type: the button that reports and its state code
// (0 released / left / off, 1 pressed / on, 2 mouse entered).
using ButtonCallback = std::function<void(QPushButton*, int)>;

// The state codes the picture buttons report.
enum ButtonState : int {
    ButtonReleased = 0, // released, or the mouse left (plain button); off (tab, check box)
    ButtonPressed = 1,  // pressed; on
    ButtonEntered = 2,  // the mouse entered (plain button only)
};
