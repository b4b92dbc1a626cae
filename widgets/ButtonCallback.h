#pragma once

#include <functional>

class QPushButton;

// The widget layer's one callback type: the button that reports and its state code
// (0 released / left / off, 1 pressed / on, 2 mouse entered).
using ButtonCallback = std::function<void(QPushButton*, int)>;
