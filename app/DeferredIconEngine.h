#pragma once

#include <functional>
#include <memory>

#include <QIcon>
#include <QIconEngine>

// An icon made the first time it is drawn or measured, not when it is handed over. For
// icons a widget is given up front but seldom or never shows (a tool bar's extension
// button), so that the files behind them are not read, nor the image readers loaded to
// recognise them, at the window's start. Drawn, it is the icon the maker returns.
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) const override;
    QString key() const override;
    QIconEngine* clone() const override;

private:
    // Shared by the clones: the icon is made once.
    struct Made {
        std::function<QIcon()> make;
        QIcon icon;
        bool done = false;
    };

    const QIcon& icon() const;

    std::shared_ptr<Made> made;
};
