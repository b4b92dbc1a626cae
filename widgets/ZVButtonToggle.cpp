#include "widgets/ZVButtonToggle.h"

#include <utility>

#include <QLabel>

#include "widgets/ButtonSupport.h"

ZVButtonToggle::ZVButtonToggle(QWidget* parent) : QPushButton(parent) {
    init();
}

void ZVButtonToggle::init() {
    if (caption != nullptr) {
        return; // built already
    }
    caption = buttonsupport::createCaption(this);
    connect(this, SIGNAL(pressed()), this, SLOT(onPress()));
}

void ZVButtonToggle::setImage(int state, const QString& path) {
    images[state] = path;
}

void ZVButtonToggle::setOn(bool state) {
    on = state;
    buttonsupport::showPicture(this, images, on ? ButtonPressed : ButtonReleased);
}

void ZVButtonToggle::setActive(bool state) {
    active = state;
}

void ZVButtonToggle::setCaption(const QString& text) {
    buttonsupport::setCaptionText(this, caption, text);
}

void ZVButtonToggle::setCallback(ButtonCallback cb) {
    callback = std::move(cb);
}

void ZVButtonToggle::onPress() {
    if (!active) {
        return;
    }
    on = !on;
    buttonsupport::showPicture(this, images, on ? ButtonPressed : ButtonReleased);
    if (callback) {
        callback(this, on ? 1 : 0);
    }
}
