#pragma once

#include <QMap>
#include <QString>

#include "widgets/ButtonCallback.h"

class QLabel;
class QPushButton;
class QWidget;
class ZVButton;

// What the three picture buttons share: their archive reader, the picture shown for a
// state code and the caption laid over the picture.
namespace buttonsupport {

// Decodes the picture registered for `state` afresh and makes it the button's icon, at
// the picture's size. A state without a path gets an empty one entered, and shows an
// empty 0 x 0 icon.
void showPicture(QPushButton* button, QMap<int, QString>& images, int state);

// The white, centred caption child; it never takes the mouse, so the whole button
// area stays clickable.
QLabel* createCaption(QPushButton* button);

// Spreads the caption over the button's current size and sets its text.
void setCaptionText(QPushButton* button, QLabel* caption, const QString& text);

// A plain picture button as every bar builds it: named, with its pictures for the
// released, pressed and entered states, showing the first, reporting to `cb`.
ZVButton* createPictureButton(QWidget* parent, const char* name, const QString& released,
                              const QString& pressed, const QString& entered, ButtonCallback cb);

} // namespace buttonsupport
