#include "update/GameView.h"

#include <functional>
#include <utility>

#include <QLabel>
#include <QMenu>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include "archive/PicturesAhead.h"
#include "archive/ResourceArchive.h"
#include "utility/GameTable.h"
#include "utility/XmlMsgParser.h"
#include "widgets/ButtonSupport.h"
#include "widgets/LauncherStyle.h"
#include "widgets/ZVButton.h"

namespace {
// The game page's own archive reader, opened before main runs.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();

struct GameButton {
    const char* name;
    const char* normal;
    const char* pressed;
    const char* hover;
    int x;
    int y;
};

constexpr GameButton kGames[4] = {
    {"pokerButton", "main/7poker.png", "main/7poker_push.png", "main/7poker_roll.png", 43, 39},
    {"matgoButton", "main/gos.png", "main/gos_push.png", "main/gos_roll.png", 362, 39},
    {"hongsipButton", "main/hongs.png", "main/hongs_push.png", "main/hongs_roll.png", 681, 39},
    {"majongButton", "main/majong.png", "main/majong_push.png", "main/majong_roll.png", 43, 225},
};

// The game menu in the colours of the download panel: dark wood, gold edge, light text.
const char* const menuStyle =
    "QMenu { color: #fff8e6; background: #3b2610; border: 1px solid #8a6a2a;"
    " border-radius: 4px; padding: 4px; font-size: 13px; }"
    "QMenu::item { padding: 6px 18px; border-radius: 3px; }"
    "QMenu::item:selected { background: #74512a; }";
} // namespace

GameView::GameView(QWidget* parent) : QWidget(parent) {
    using namespace std::placeholders;
    const QString family = launcherstyle::fontFamily();

    background = new QLabel(this);
    background->setObjectName("background");
    background->setPixmap(PicturesAhead::pixmap(archiveReader, "main/base.png"));
    background->move(0, 0);
    background->show();

    const ButtonCallback handlers[4] = {
        std::bind(&GameView::onPoker, this, _1, _2),
        std::bind(&GameView::onMatgo, this, _1, _2),
        std::bind(&GameView::onHongsip, this, _1, _2),
        std::bind(&GameView::onMajong, this, _1, _2),
    };
    ZVButton** buttons[4] = {&pokerButton, &matgoButton, &hongsipButton, &majongButton};
    for (int game = 0; game < 4; ++game) {
        ZVButton* button = buttonsupport::createPictureButton(
            this, kGames[game].name, kGames[game].normal, kGames[game].pressed, kGames[game].hover,
            handlers[game]);
        button->resize(298, 162);
        button->move(kGames[game].x, kGames[game].y);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(
            button, &QWidget::customContextMenuRequested, this,
            [this, game, button](const QPoint& at) { showMenu(game, button->mapToGlobal(at)); });
        *buttons[game] = button;
    }

    const QString suffix = utility::XmlMsgParser::getInstance()->message(12);
    for (int game = 0; game < 4; ++game) {
        auto* label = new QLabel(*buttons[game]);
        label->setObjectName("countLabel");
        // The count comes from the server: shown as text, never as markup.
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignRight | Qt::AlignHCenter);
        label->setForegroundRole(QPalette::WindowText);
        label->setGeometry(198, 132, 90, 30);
        label->setFont(launcherstyle::font(family, 20));
        label->setText(QStringLiteral("0") + suffix);
        launcherstyle::setWhiteText(label);
        // The counter lies on the button; presses on it belong to the button.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        countLabels[game] = label;
    }
}

GameView::~GameView() {
    callbacks.clear();
}

void GameView::setCallback(int game, ButtonCallback cb) {
    callbacks.set(game, std::move(cb));
}

void GameView::setActive(bool on) {
    active = on;
    pokerButton->setActive(on);
    matgoButton->setActive(on);
    hongsipButton->setActive(on);
    majongButton->setActive(on);
}

void GameView::setConnCount(int game, const QString& count) {
    if (!games::isGame(game)) {
        return;
    }
    countLabels[game]->setText(count + utility::XmlMsgParser::getInstance()->message(12));
}

void GameView::showMenu(int game, const QPoint& at) {
    if (!active) {
        return;
    }
    delete menu;
    menu = new QMenu(this);
    menu->setObjectName("gameMenu");
    menu->setStyleSheet(menuStyle);
    const auto text = [](int id, const char* builtIn) {
        const QString worded = utility::XmlMsgParser::getInstance()->message(id);
        return worded.isEmpty() ? QString(builtIn) : worded;
    };
    const std::pair<int, QString> items[] = {{VerifyAndRepair, text(212, "Verify and repair")},
                                             {OpenGameFolder, text(213, "Open game folder")}};
    for (const auto& item : items) {
        const int action = item.first;
        menu->addAction(item.second, this, [this, game, action] {
            if (active && menuCallback) {
                menuCallback(game, action);
            }
        });
    }
    menu->popup(at);
}

void GameView::forward(int game, QPushButton* button, int state) {
    if (!active) {
        return;
    }
    callbacks.dispatch(game, button, state);
}

void GameView::onPoker(QPushButton* button, int state) {
    forward(games::Poker, button, state);
}

void GameView::onMatgo(QPushButton* button, int state) {
    forward(games::Matgo, button, state);
}

void GameView::onHongsip(QPushButton* button, int state) {
    forward(games::Hongsip, button, state);
}

void GameView::onMajong(QPushButton* button, int state) {
    forward(games::Majong, button, state);
}
