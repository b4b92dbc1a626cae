#include "widgets/ZVButtonTab.h"

#include <utility>

#include <QLabel>

#include "widgets/ButtonSupport.h"

ZVButtonTab::ZVButtonTab(QWidget* parent) : QPushButton(parent) {
    init();
}

void ZVButtonTab::init() {
    if (caption != nullptr) {
        return; // built already
    }
    caption = buttonsupport::createCaption(this);
    connect(this, SIGNAL(pressed()), this, SLOT(onPress()));
}

void ZVButtonTab::setImage(int state, const QString& path) {
    images[state] = path;
}

void ZVButtonTab::setOn(bool state) {
    on = state;
    buttonsupport::showPicture(this, images, on ? ButtonPressed : ButtonReleased);
}

void ZVButtonTab::setActive(bool state) {
    active = state;
}

void ZVButtonTab::setCaption(const QString& text) {
    buttonsupport::setCaptionText(this, caption, text);
}

void ZVButtonTab::setCallback(ButtonCallback cb) {
    callback = std::move(cb);
}

void ZVButtonTab::onPress() {
    if (!active || on) {
        return;
    }
    on = true;
    buttonsupport::showPicture(this, images, ButtonPressed);
    if (callback) {
        callback(this, ButtonPressed);
    }
}
