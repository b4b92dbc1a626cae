#include "widgets/OperatorWeb.h"

#include <QCoreApplication>
#include <QPluginLoader>
#include <QtDebug>

namespace {
const char kModuleName[] = "webpages";
} // namespace

OperatorWeb* OperatorWeb::engine() {
    static OperatorWeb* const loaded = []() -> OperatorWeb* {
        for (QObject* instance : QPluginLoader::staticInstances()) {
            if (auto* web = qobject_cast<OperatorWeb*>(instance)) {
                return web;
            }
        }
        QString error;
        OperatorWeb* web = loadModule(QCoreApplication::applicationDirPath(), &error);
        if (web == nullptr) {
            qWarning().noquote() << "The operator's web pages cannot be shown:" << error;
        }
        return web;
    }();
    return loaded;
}

OperatorWeb* OperatorWeb::loadModule(const QString& folder, QString* error) {
    // Only the program's own folder is searched: never the working folder or a path from
    // the environment, where someone else's file could be waiting.
    QPluginLoader loader(folder + QLatin1Char('/') + QLatin1String(kModuleName));
    QObject* instance = loader.instance(); // stays loaded for the rest of the run
    auto* web = qobject_cast<OperatorWeb*>(instance);
    if (web == nullptr && error != nullptr) {
        *error = instance == nullptr
                     ? loader.errorString()
                     : QStringLiteral("%1 is not the launcher's web module").arg(loader.fileName());
    }
    return web;
}
