#include "widgets/ZVButton.h"

#include <utility>

#include <QEvent>
#include <QLabel>

#include "widgets/ButtonSupport.h"

ZVButton::ZVButton(QWidget* parent) : QPushButton(parent) {
    init();
}

void ZVButton::init() {
    caption = buttonsupport::createCaption(this);
    connect(this, SIGNAL(pressed()), this, SLOT(onPress()));
    connect(this, SIGNAL(released()), this, SLOT(onRelease()));
}

void ZVButton::setImage(int state, const QString& path) {
    images[state] = path;
}

void ZVButton::showImage(int state) {
    buttonsupport::showPicture(this, images, state);
}

void ZVButton::setActive(bool on) {
    active = on;
}

void ZVButton::setCaption(const QString& text) {
    buttonsupport::setCaptionText(this, caption, text);
}

void ZVButton::setCallback(ButtonCallback cb) {
    callback = std::move(cb);
}

void ZVButton::onHover() {
    showAndReport(ButtonEntered);
}

void ZVButton::onPress() {
    showAndReport(ButtonPressed);
}

void ZVButton::showAndReport(int state) {
    if (!active) {
        return;
    }
    showImage(state);
    if (callback) {
        callback(this, state);
    }
}

void ZVButton::onRelease() {
    // Back to normal even while inactive, so an inert button never stays lit.
    showImage(ButtonReleased);
    if (active && callback) {
        callback(this, ButtonReleased);
    }
}

void ZVButton::enterEvent(QEvent* event) {
    QPushButton::enterEvent(event);
    if (active) {
        onHover();
        emit enter();
    }
}

void ZVButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    onRelease();
    emit denter();
}
