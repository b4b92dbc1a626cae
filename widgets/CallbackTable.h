#pragma once

#include <map>

#include "widgets/ButtonCallback.h"

// A widget's event numbers and the owner's callbacks registered for them. An event
// without a callback is dropped. GUI thread; held by value in its widget.
class CallbackTable {
public:
    void set(int event, ButtonCallback cb);
    // Calls the callback of `event`, if any, with the reporting button and state code.
    void dispatch(int event, QPushButton* button, int state) const;
    void clear();

private:
    std::map<int, ButtonCallback> callbacks;
};
