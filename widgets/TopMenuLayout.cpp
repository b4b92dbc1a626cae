#include "widgets/TopMenuLayout.h"

#include <utility>

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPoint>
#include <QWindow>

#include "archive/PicturesAhead.h"
#include "archive/ResourceArchive.h"
#include "utility/XmlMsgParser.h"
#include "widgets/ButtonSupport.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonTab.h"

namespace {
// The top bar's own archive reader, opened before main runs.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();
} // namespace

TopMenuLayout::TopMenuLayout(QWidget* parent) : QWidget(parent) {
    background = new QLabel(this);
    background->setObjectName("background");
    background->setPixmap(PicturesAhead::pixmap(archiveReader, "main/up.png"));
    background->move(0, 0);
    background->adjustSize();
    background->show();

    // The title buttons show one picture in every state.
    minimizeButton = buttonsupport::createPictureButton(
        this, "minimizeButton", "main/min.png", "main/min.png", "main/min.png",
        [this](QPushButton* button, int state) { onButton(EventMinimize, button, state); });
    minimizeButton->resize(24, 25);
    minimizeButton->move(960, 6);

    closeButton = buttonsupport::createPictureButton(
        this, "closeButton", "main/exitsmall.png", "main/exitsmall.png", "main/exitsmall.png",
        [this](QPushButton* button, int state) { onButton(EventClose, button, state); });
    closeButton->resize(24, 25);
    closeButton->move(990, 6);

    tab1 = createTab("tab1", true, 0, 1, EventGamesTab);
    tab2 = createTab("tab2", false, 256, 2, EventNoticeTab);
    tab3 = createTab("tab3", false, 512, 3, EventChargeTab);
    tab4 = createTab("tab4", false, 768, 4, EventInfoTab);
    tabList << tab1 << tab2 << tab3 << tab4;

    const QPixmap divide = PicturesAhead::pixmap(archiveReader, "main/divide.png");
    divider1 = createDivider("divider1", divide, 255);
    divider2 = createDivider("divider2", divide, 511);
    divider3 = createDivider("divider3", divide, 767);
}

TopMenuLayout::~TopMenuLayout() {
    callbacks.clear();
}

ZVButtonTab* TopMenuLayout::createTab(const char* name, bool on, int x, int caption, int event) {
    auto* tab = new ZVButtonTab(this);
    tab->setObjectName(name);
    tab->setImage(ButtonReleased, "main/menu.png");
    tab->setImage(ButtonPressed, "main/menupush.png");
    tab->setOn(on);
    tab->setCallback(
        [this, event](QPushButton* button, int state) { onTab(event, button, state); });
    tab->resize(256, 42);
    tab->move(x, 37);
    tab->setCaption(utility::XmlMsgParser::getInstance()->message(caption));
    return tab;
}

QLabel* TopMenuLayout::createDivider(const char* name, const QPixmap& picture, int x) {
    auto* divider = new QLabel(this);
    divider->setObjectName(name);
    divider->setPixmap(picture);
    divider->resize(picture.size());
    divider->move(x, 46);
    divider->show();
    return divider;
}

void TopMenuLayout::setCallback(int event, ButtonCallback cb) {
    callbacks.set(event, std::move(cb));
}

void TopMenuLayout::setMoveCallback(MoveCallback cb) {
    moveCallback = std::move(cb);
}

void TopMenuLayout::setActive(bool on) {
    active = on;
    minimizeButton->setActive(on);
    closeButton->setActive(on);
    for (ZVButtonTab* tab : tabList) {
        tab->setActive(on);
    }
}

void TopMenuLayout::onButton(int event, QPushButton* button, int state) {
    if (!active) {
        return;
    }
    callbacks.dispatch(event, button, state);
}

void TopMenuLayout::onTab(int event, QPushButton* button, int state) {
    if (!active || currentTab == event || state != ButtonPressed) {
        return;
    }
    currentTab = event;
    // Exactly one tab of the row is on: the one that reported.
    for (ZVButtonTab* tab : tabList) {
        tab->setOn(tab == button);
    }
    callbacks.dispatch(event, button, ButtonPressed);
}

void TopMenuLayout::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // A Wayland compositor ignores a window moving itself; it moves the window when
    // asked to, following the pointer on its own.
    QWindow* handle = window()->windowHandle();
    if (QGuiApplication::platformName().startsWith("wayland") && handle != nullptr &&
        handle->startSystemMove()) {
        return;
    }
    dragging = true;
    lastX = event->globalX();
    lastY = event->globalY();
    // Keep the moves coming while the pointer outruns the window.
    grabMouse();
}

void TopMenuLayout::mouseMoveEvent(QMouseEvent* event) {
    // A drag whose release never came (a message box took the grab away) ends with the
    // first move that no longer holds the left button.
    if (dragging && !(event->buttons() & Qt::LeftButton)) {
        dragging = false;
        releaseMouse();
    }
    if (!dragging) {
        return;
    }
    if (moveCallback) {
        moveCallback(QPoint(event->globalX() - lastX, event->globalY() - lastY));
    }
    lastX = event->globalX();
    lastY = event->globalY();
}

void TopMenuLayout::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    dragging = false;
    releaseMouse();
}
