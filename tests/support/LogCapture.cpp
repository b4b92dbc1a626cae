#include "LogCapture.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QTest>

namespace testsupport {

namespace {

QMutex mutex;
QStringList kept;
QtMessageHandler previous = nullptr;

void keep(QtMsgType, const QMessageLogContext& context, const QString& text) {
    const QMutexLocker lock(&mutex);
    kept << QString("%1: %2").arg(QString::fromLatin1(context.category), text);
}

} // namespace

LogCapture::LogCapture(const QString& rules) {
    QLoggingCategory::setFilterRules(rules);
    {
        const QMutexLocker lock(&mutex);
        kept.clear();
    }
    previous = qInstallMessageHandler(keep);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
}

QStringList LogCapture::lines() const {
    const QMutexLocker lock(&mutex);
    return kept;
}

void LogCapture::addDebugRows(const char* category, const char* shownColumn) {
    QTest::addColumn<QString>("rules");
    QTest::addColumn<bool>(shownColumn);
    QTest::newRow("default") << QString() << false;
    QTest::newRow("switched on") << QString::fromLatin1(category) + ".debug=true" << true;
}

} // namespace testsupport
