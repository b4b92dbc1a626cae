#include "app/DeferredIconEngine.h"

#include <utility>

#include <QPainter>

DeferredIconEngine::DeferredIconEngine(std::function<QIcon()> make)
    : made(std::make_shared<Made>()) {
    made->make = std::move(make);
}

const QIcon& DeferredIconEngine::icon() const {
    if (!made->done) {
        made->done = true;
        made->icon = made->make();
        made->make = nullptr;
    }
    return made->icon;
}

void DeferredIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                               QIcon::State state) {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
}

QSize DeferredIconEngine::actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return icon().actualSize(size, mode, state);
}

QPixmap DeferredIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return icon().pixmap(size, mode, state);
}

QList<QSize> DeferredIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state) const {
    return icon().availableSizes(mode, state);
}

QString DeferredIconEngine::key() const {
    return QStringLiteral("DeferredIconEngine");
}

QIconEngine* DeferredIconEngine::clone() const {
    return new DeferredIconEngine(*this);
}
