#pragma once

#include <QObject>
#include <QPointer>

class QLocalServer;
class QWidget;

// Brings the window to the front when a second copy of the launcher, started by the
// same user, knocks on the single-instance lock before it exits. GUI thread; owned by
// its parent.
class WakeUpListener : public QObject {
    Q_OBJECT

public:
    WakeUpListener(QWidget* window, QObject* parent = nullptr);

    // Accepts knocks on `descriptor`, a listening local socket; false when it cannot.
    bool listen(int descriptor);

private slots:
    void onConnection();

private:
    QPointer<QWidget> window;
    QLocalServer* server = nullptr;
};
