#pragma once

#include <QFont>
#include <QImage>
#include <QMap>
#include <QString>

// Composes previews from a finished resource folder, the way the launcher's widgets will stack
// the pictures, captions and labels: the whole window, and a sheet with every button state.
// Used to look at the pictures before they are packed; nothing here is shipped.
class Mockup {
public:
    explicit Mockup(const QString& resDir);

    QImage window() const;
    QImage sheet() const;
    // Entry names that were asked for but could not be loaded.
    QStringList missing() const { return missingNames; }

private:
    QImage picture(const QString& name) const;
    QString message(int id) const;
    // The launcher's widgets give sizes in points; the target screens run at 96 dpi.
    QFont uiFont(qreal points) const;

    QString resDir;
    QString family;
    QMap<int, QString> messages;
    mutable QStringList missingNames;
};
