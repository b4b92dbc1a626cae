#include "widgets/CallbackTable.h"

#include <utility>

void CallbackTable::set(int event, ButtonCallback cb) {
    callbacks[event] = std::move(cb);
}

void CallbackTable::dispatch(int event, QPushButton* button, int state) const {
    const auto found = callbacks.find(event);
    if (found != callbacks.end() && found->second) {
        found->second(button, state);
    }
}

void CallbackTable::clear() {
    callbacks.clear();
}
