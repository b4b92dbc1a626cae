#include "widgets/ZVTwoStateButton.h"

#include <utility>

#include <QLabel>

#include "widgets/ButtonSupport.h"

ZVTwoStateButton::ZVTwoStateButton(QWidget* parent) : QPushButton(parent) {
    init();
}

void ZVTwoStateButton::init() {
    if (caption != nullptr) {
        return; // built already
    }
    caption = buttonsupport::createCaption(this);
    connect(this, SIGNAL(pressed()), this, SLOT(onPress()));
}

void ZVTwoStateButton::setImage(int state, const QString& path) {
    images[state] = path;
}

void ZVTwoStateButton::setOn(bool state) {
    on = state;
    buttonsupport::showPicture(this, images, on ? ButtonPressed : ButtonReleased);
}

void ZVTwoStateButton::setActive(bool state) {
    active = state;
}

void ZVTwoStateButton::setCaption(const QString& text) {
    buttonsupport::setCaptionText(this, caption, text);
}

void ZVTwoStateButton::setCallback(ButtonCallback cb) {
    callback = std::move(cb);
}

void ZVTwoStateButton::onPress() {
    const bool next = pressedState(on);
    if (!active || next == on) {
        return;
    }
    on = next;
    buttonsupport::showPicture(this, images, on ? ButtonPressed : ButtonReleased);
    if (callback) {
        callback(this, on ? ButtonPressed : ButtonReleased);
    }
}
