#include "widgets/LauncherStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QStringList>
#include <QWidget>

namespace launcherstyle {

QString fontFamily() {
    const QStringList families = QFontDatabase::applicationFontFamilies(0);
    if (!families.isEmpty()) {
        return families.first();
    }
    return QApplication::font().family();
}

QFont font(const QString& family, int pointSize) {
    return QFont(family, pointSize);
}

void setWhiteText(QWidget* widget) {
    widget->setForegroundRole(QPalette::WindowText);
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText, QBrush(Qt::white, Qt::SolidPattern));
    widget->setPalette(palette);
}

} // namespace launcherstyle
