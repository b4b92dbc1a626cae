#include "widgets/ButtonSupport.h"

#include <utility>

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "archive/PicturesAhead.h"
#include "archive/ResourceArchive.h"
#include "widgets/LauncherStyle.h"
#include "widgets/ZVButton.h"

namespace {
// The buttons' own archive reader, opened before main runs.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();
} // namespace

namespace buttonsupport {

void showPicture(QPushButton* button, QMap<int, QString>& images, int state) {
    // Only the path is kept; the picture is decoded again on every change of state.
    const QPixmap pixmap = PicturesAhead::pixmap(archiveReader, images[state]);
    button->setIcon(QIcon(pixmap));
    button->setIconSize(pixmap.size());
}

QLabel* createCaption(QPushButton* button) {
    auto* caption = new QLabel(button);
    caption->setAlignment(Qt::AlignCenter);
    launcherstyle::setWhiteText(caption);
    caption->setFont(launcherstyle::font(launcherstyle::fontFamily(), 16));
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    return caption;
}

void setCaptionText(QPushButton* button, QLabel* caption, const QString& text) {
    caption->setGeometry(0, 0, button->width(), button->height());
    caption->setText(text);
}

ZVButton* createPictureButton(QWidget* parent, const char* name, const QString& released,
                              const QString& pressed, const QString& entered, ButtonCallback cb) {
    auto* button = new ZVButton(parent);
    button->setObjectName(name);
    button->setImage(ButtonReleased, released);
    button->setImage(ButtonPressed, pressed);
    button->setImage(ButtonEntered, entered);
    button->showImage(ButtonReleased);
    button->setCallback(std::move(cb));
    return button;
}

} // namespace buttonsupport
