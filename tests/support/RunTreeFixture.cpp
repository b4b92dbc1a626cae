#include "RunTreeFixture.h"

#include <QDir>

namespace testsupport {

RunTreeFixture::RunTreeFixture(const QString& game) : previous(QDir::currentPath()) {
    valid = dir.isValid() && QDir().mkpath(workDir()) && QDir().mkpath(resource()) &&
            (game.isEmpty() || QDir().mkpath(this->game(game))) && QDir::setCurrent(workDir());
}

RunTreeFixture::~RunTreeFixture() {
    QDir::setCurrent(previous);
}

QString RunTreeFixture::resource(const QString& rel) const {
    return dir.path() + "/Launcher/resource" + (rel.isEmpty() ? QString() : "/" + rel);
}

QString RunTreeFixture::game(const QString& game, const QString& rel) const {
    return dir.path() + "/" + game + (rel.isEmpty() ? QString() : "/" + rel);
}

} // namespace testsupport
