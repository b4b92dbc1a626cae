#pragma once

#include <functional>

#include <QWidget>

#include "utility/GameTable.h"
#include "widgets/ButtonCallback.h"
#include "widgets/CallbackTable.h"

class QLabel;
class QMenu;
class QPoint;
class QPushButton;
class QString;
class ZVButton;

// The game selection page: a button per game (0 Poker, 1 Matgo, 2 Hongsip, 3 Majong)
// with its player counter. Forwards every button report to the owner's callback for
// that game. GUI thread; owned by the main window.
class GameView : public QWidget {
    Q_OBJECT

public:
    explicit GameView(QWidget* parent);
    ~GameView() override;

    void setCallback(int game, ButtonCallback cb);

    // What each game button's context menu (right-click or the menu key) offers.
    enum MenuAction { VerifyAndRepair = 1, OpenGameFolder = 2 };
    using MenuCallback = std::function<void(int game, int action)>;
    void setMenuCallback(MenuCallback cb) { menuCallback = std::move(cb); }
    // The menu shown last (kept until the next one), null before any: for tests.
    QMenu* shownMenu() const { return menu; }
    // While inactive the buttons show no hover or pressed picture and nothing is
    // forwarded.
    void setActive(bool on);
    // Shows `count` followed by the counter suffix for games 0 to 3; other values do
    // nothing.
    void setConnCount(int game, const QString& count);

    // The game the main window is updating or starting; 4 when none.
    int currentGame = games::None;

private:
    void forward(int game, QPushButton* button, int state);
    void showMenu(int game, const QPoint& at);
    void onPoker(QPushButton* button, int state);
    void onMatgo(QPushButton* button, int state);
    void onHongsip(QPushButton* button, int state);
    void onMajong(QPushButton* button, int state);

    bool active = true;
    QLabel* background = nullptr;
    ZVButton* pokerButton = nullptr;
    ZVButton* matgoButton = nullptr;
    ZVButton* hongsipButton = nullptr;
    ZVButton* majongButton = nullptr;
    QLabel* countLabels[4] = {};
    CallbackTable callbacks;
    MenuCallback menuCallback;
    QMenu* menu = nullptr;
};
