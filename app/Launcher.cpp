#include "Launcher.h"

#include "ResourceArchive.h"

namespace {
// This module's archive reader; the window itself reads nothing through it.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();
} // namespace

Launcher::Launcher(QWidget* parent) : QMainWindow(parent) {
    setFixedSize(1024, 768);
    setWindowFlags(Qt::FramelessWindowHint);
}

Launcher::~Launcher() = default;
