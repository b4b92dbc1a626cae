#include "widgets/ButtonSupport.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "archive/ResourceArchive.h"
#include "widgets/LauncherStyle.h"

namespace {
// The buttons' own archive reader, opened before main runs.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();
} // namespace

namespace buttonsupport {

void showPicture(QPushButton* button, QMap<int, QString>& images, int state) {
    // Only the path is kept; the picture is decoded again on every change of state.
    const QPixmap pixmap = loadPixmap(archiveReader, images[state]);
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

} // namespace buttonsupport
