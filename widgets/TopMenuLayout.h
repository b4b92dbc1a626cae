#pragma once

#include <functional>

#include <QList>
#include <QWidget>

#include "widgets/ButtonCallback.h"
#include "widgets/CallbackTable.h"

class QLabel;
class QMouseEvent;
class QPoint;
class QPushButton;
class ZVButton;
class ZVButtonTab;

// The strip across the top of the frameless main window: minimise and close, the four
// page tabs, and dragging the window by the strip. Reports to its owner's callbacks.
// GUI thread; owned by the main window.
class TopMenuLayout : public QWidget {
    Q_OBJECT

public:
    using MoveCallback = std::function<void(const QPoint&)>;

    // Event numbers of the bar.
    enum Event : int {
        EventMinimize = 0,
        EventClose = 1,
        EventGamesTab = 2,
        EventNoticeTab = 3,
        EventChargeTab = 4,
        EventInfoTab = 5,
    };

    explicit TopMenuLayout(QWidget* parent);
    ~TopMenuLayout() override;

    void setCallback(int event, ButtonCallback cb);
    void setMoveCallback(MoveCallback cb);
    void setActive(bool active);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void onButton(int event, QPushButton* button, int state);
    void onTab(int event, QPushButton* button, int state);
    ZVButtonTab* createTab(const char* name, bool on, int x, int caption, int event);
    QLabel* createDivider(const char* name, const QPixmap& picture, int x);

    QLabel* background = nullptr;
    ZVButton* minimizeButton = nullptr;
    ZVButton* closeButton = nullptr;
    ZVButtonTab* tab1 = nullptr;
    ZVButtonTab* tab2 = nullptr;
    ZVButtonTab* tab3 = nullptr;
    ZVButtonTab* tab4 = nullptr;
    QLabel* divider1 = nullptr;
    QLabel* divider2 = nullptr;
    QLabel* divider3 = nullptr;
    bool active = true;
    int lastX = 0;
    int lastY = 0;
    bool dragging = false;
    QList<ZVButtonTab*> tabList;
    MoveCallback moveCallback;
    int currentTab = EventGamesTab;
    CallbackTable callbacks;
};
