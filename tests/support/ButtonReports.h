#pragma once

#include <functional>
#include <vector>

#include <QList>

class QPushButton;
class QWidget;

namespace testsupport {

// What the button callbacks of a bar, page or dialog reported, in order: the event number
// they were set for (a game's index on the game page), the button and its state.
class ButtonReports {
public:
    struct Report {
        int event;
        QPushButton* button;
        int state;
    };

    // Records every report of `view`'s callbacks for `events`; `View` is any widget that takes
    // setCallback(int, ButtonCallback).
    template <typename View> void record(View* view, const QList<int>& events) {
        for (int event : events) {
            view->setCallback(event, callback(event));
        }
    }
    // A button callback that records its reports under `event`.
    std::function<void(QPushButton*, int)> callback(int event = 0) {
        return [this, event](QPushButton* button, int state) {
            reports.push_back({event, button, state});
        };
    }
    QList<int> events() const;
    QList<int> states() const;
    // Every report came from `button` under `event`.
    bool allFrom(const QPushButton* button, int event) const;

    std::vector<Report> reports;
};

// Moves the mouse onto `button`, clicks it and moves off again, as a player does.
void hoverClickLeave(QWidget* button);

} // namespace testsupport
