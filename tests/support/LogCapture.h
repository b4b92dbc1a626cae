#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace testsupport {

// Keeps every log line written while it lives, from any thread, as "category: text", with
// the given logging rules in force (e.g. "launcher.install.debug=true"). The previous
// message handler and the default rules come back when it ends. One at a time.
class LogCapture {
public:
    explicit LogCapture(const QString& rules = QString());
    ~LogCapture();
    Q_DISABLE_COPY(LogCapture)

    // The lines kept so far.
    QStringList lines() const;

    // The data table of a test that a debug category is quiet unless switched on: the
    // columns "rules" (for the constructor) and `shownColumn` (whether its lines appear),
    // rows "default" and "switched on" ("<category>.debug=true").
    static void addDebugRows(const char* category, const char* shownColumn);
};

} // namespace testsupport
