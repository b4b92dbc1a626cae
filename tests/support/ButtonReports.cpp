#include "ButtonReports.h"

#include <QApplication>
#include <QEvent>
#include <QTest>

namespace testsupport {

QList<int> ButtonReports::events() const {
    QList<int> list;
    for (const Report& report : reports) {
        list << report.event;
    }
    return list;
}

QList<int> ButtonReports::states() const {
    QList<int> list;
    for (const Report& report : reports) {
        list << report.state;
    }
    return list;
}

bool ButtonReports::allFrom(const QPushButton* button, int event) const {
    for (const Report& report : reports) {
        if (report.button != button || report.event != event) {
            return false;
        }
    }
    return true;
}

void hoverClickLeave(QWidget* button) {
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(button, &enter);
    QTest::mouseClick(button, Qt::LeftButton);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
}

} // namespace testsupport
