#pragma once

#include <QWidget>

#include "widgets/ButtonCallback.h"
#include "widgets/CallbackTable.h"

class QLabel;
class QPushButton;
class QString;
class QTimer;
class ZVButton;

// The strip along the bottom of the main window: nickname, coins, the scrolling notice
// line and the refresh, exit and charge buttons, which report to the owner's
// callbacks. GUI thread; owned by the main window.
class BottomMenu : public QWidget {
    Q_OBJECT

public:
    // Event numbers of the bar.
    enum Event : int {
        EventRefresh = 0,
        EventExit = 1,
        EventFreeCoin = 2,
    };

    explicit BottomMenu(QWidget* parent);
    ~BottomMenu() override;

    void setCallback(int event, ButtonCallback cb);
    void setActive(bool active);
    void setNick(const QString& text);
    void setCoin(const QString& text);
    // Takes the first non-empty notice of the run; later ones are ignored.
    void setNotice(const QString& text);

public slots:
    // One step of the notice ticker. Hides QWidget::update() on purpose: the timer's
    // connection by signature must land here.
    void update();

private:
    ZVButton* createButton(const char* name, const char* picture, const char* pressed,
                           const char* hover, int event);
    QLabel* createText(const char* name, const QString& family, const QRect& geometry,
                       Qt::Alignment alignment);
    void onButton(int event, QPushButton* button, int state);

    bool active = true;
    QTimer* timer = nullptr;
    QLabel* background = nullptr;
    ZVButton* refreshButton = nullptr;
    ZVButton* exitButton = nullptr;
    ZVButton* chargeButton = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* nickLabel = nullptr;
    QLabel* coinLabel = nullptr;
    QLabel* tickerFrame = nullptr;
    QLabel* tickerLabel = nullptr;
    CallbackTable callbacks;
};
