#pragma once

#include <QFont>
#include <QString>

class QWidget;

// The look shared by the launcher's own widgets: the registered application font and
// white text.
namespace launcherstyle {

// First family of application font 0 (the font registered at start-up); the
// application's default family when no font has been registered.
QString fontFamily();

// A font of `family` at `pointSize`, weight and italic left at their defaults.
QFont font(const QString& family, int pointSize);

// Draws the widget's text in solid white in every colour group.
void setWhiteText(QWidget* widget);

} // namespace launcherstyle
