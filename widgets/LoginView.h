#pragma once

#include <QDialog>
#include <QString>

#include "widgets/ButtonCallback.h"
#include "widgets/CallbackTable.h"

class QCloseEvent;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class ZVButton;
class ZVButtonToggle;

// The login dialog: user id, password, remember box, login and join buttons. It reports
// its four events (0 login, 1 join, 2 remember, 3 closed) to the owner's callbacks and
// is pre-filled from the saved login data. GUI thread; owned by the main window.
class LoginView : public QDialog {
    Q_OBJECT

public:
    // Event numbers of the dialog.
    enum Event : int {
        EventLogin = 0,
        EventJoin = 1,
        EventRemember = 2,
        EventClosed = 3,
    };

    explicit LoginView(QWidget* parent);
    ~LoginView() override;

    void setCallback(int event, ButtonCallback cb);
    QString userId() const;
    QString password() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Hidden for a whole session after a login, the dialog gives back the memory it is drawn
    // in (half a megabyte, shared with the X server) with its window once the hiding is done.
    void hideEvent(QHideEvent* event) override;
    // Swallows every key the focused child leaves: Return must not log in and Escape
    // must not close the dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* createCaption(const char* name, const QString& family, const QRect& geometry,
                          Qt::Alignment alignment, int message);
    void report(int event, QPushButton* button, int state);
    void onLogin(QPushButton* button, int state);
    void onIdChosen(const QString& id);

    QLabel* background = nullptr;
    QLabel* idLabel = nullptr;
    QLabel* passwordLabel = nullptr;
    QLabel* saveLabel = nullptr;
    QComboBox* idBox = nullptr;
    QLineEdit* passwordEdit = nullptr;
    ZVButton* loginButton = nullptr;
    ZVButton* joinButton = nullptr;
    ZVButtonToggle* saveBox = nullptr;
    CallbackTable callbacks;
};
