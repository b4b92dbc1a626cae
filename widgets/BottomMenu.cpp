#include "widgets/BottomMenu.h"

#include <utility>

#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QTimer>

#include "archive/PicturesAhead.h"
#include "archive/ResourceArchive.h"
#include "utility/XmlMsgParser.h"
#include "widgets/ButtonSupport.h"
#include "widgets/LauncherStyle.h"
#include "widgets/ZVButton.h"

namespace {
// The bottom menu's own archive reader, opened before main runs.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();

constexpr int kTickerWidth = 860;
constexpr int kTickerInterval = 60;

// Painting a label costs with its text, and the ticker repaints 16 times a second: a long
// notice is shown up to here, ending in an ellipsis.
constexpr int kNoticeLimit = 2000;

QString shortened(const QString& text) {
    if (text.size() <= kNoticeLimit) {
        return text;
    }
    int keep = kNoticeLimit - 1;
    if (text.at(keep - 1).isHighSurrogate()) {
        --keep; // never half a character
    }
    return text.left(keep) + QChar(0x2026);
}
} // namespace

BottomMenu::BottomMenu(QWidget* parent) : QWidget(parent) {
    const QString family = launcherstyle::fontFamily();

    background = new QLabel(this);
    background->setObjectName("background");
    background->setPixmap(PicturesAhead::pixmap(archiveReader, "main/down.png"));
    background->move(0, 0);
    background->adjustSize();
    background->show();

    auto* messages = utility::XmlMsgParser::getInstance();
    refreshButton = createButton("refreshButton", "main/refresh.png", "main/refresh_push.png",
                                 "main/refreshroll.png", EventRefresh);
    refreshButton->resize(34, 34);
    refreshButton->move(640, 40);

    exitButton = createButton("exitButton", "main/exit.png", "main/exitpush.png",
                              "main/exitroll.png", EventExit);
    exitButton->resize(74, 34);
    exitButton->move(685, 40);
    exitButton->setCaption(messages->message(5));

    chargeButton = createButton("chargeButton", "main/charge.png", "main/chargepush.png",
                                "main/chargeroll.png", EventFreeCoin);
    chargeButton->resize(222, 34);
    chargeButton->move(768, 40);
    chargeButton->setCaption(messages->message(6));

    titleLabel = createText("titleLabel", family, QRect(0, 7, 110, 30), Qt::AlignRight);
    titleLabel->setText(messages->message(13));
    nickLabel = createText("nickLabel", family, QRect(125, 45, 300, 30), Qt::AlignLeft);
    coinLabel = createText("coinLabel", family, QRect(400, 45, 300, 30), Qt::AlignLeft);

    tickerFrame = new QLabel(this);
    tickerFrame->setObjectName("tickerFrame");
    tickerFrame->setGeometry(123, 7, kTickerWidth, 25);
    QPalette framePalette = tickerFrame->palette();
    framePalette.setBrush(QPalette::All, QPalette::WindowText, QBrush(Qt::white));
    framePalette.setBrush(QPalette::All, QPalette::Window, QBrush(Qt::darkCyan));
    tickerFrame->setPalette(framePalette);
    tickerFrame->setAutoFillBackground(true);
    tickerFrame->setAttribute(Qt::WA_TransparentForMouseEvents);

    tickerLabel = new QLabel(tickerFrame);
    tickerLabel->setObjectName("tickerLabel");
    tickerLabel->setTextFormat(Qt::PlainText);
    tickerLabel->setGeometry(0, 0, kTickerWidth, 25);
    tickerLabel->setFont(launcherstyle::font(family, 16));
    launcherstyle::setWhiteText(tickerLabel);

    timer = new QTimer(this);
    connect(timer, SIGNAL(timeout()), this, SLOT(update()));
    timer->start(kTickerInterval);
}

BottomMenu::~BottomMenu() {
    callbacks.clear();
}

ZVButton* BottomMenu::createButton(const char* name, const char* picture, const char* pressed,
                                   const char* hover, int event) {
    return buttonsupport::createPictureButton(
        this, name, picture, pressed, hover,
        [this, event](QPushButton* sender, int state) { onButton(event, sender, state); });
}

QLabel* BottomMenu::createText(const char* name, const QString& family, const QRect& geometry,
                               Qt::Alignment alignment) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    // What the service sends is shown as it is: markup in it is not followed, nor is any
    // picture it names loaded.
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    label->setFont(launcherstyle::font(family, 16));
    launcherstyle::setWhiteText(label);
    // The coin text lies over the refresh and exit buttons; they must keep the mouse.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void BottomMenu::setCallback(int event, ButtonCallback cb) {
    callbacks.set(event, std::move(cb));
}

void BottomMenu::setActive(bool on) {
    active = on;
    refreshButton->setActive(on);
    exitButton->setActive(on);
    chargeButton->setActive(on);
}

void BottomMenu::setNick(const QString& text) {
    nickLabel->setText(text);
}

void BottomMenu::setCoin(const QString& text) {
    coinLabel->setText(text);
}

void BottomMenu::setNotice(const QString& notice) {
    if (!tickerLabel->text().isEmpty()) {
        return;
    }
    const QString text = shortened(notice);
    const int width = tickerLabel->fontMetrics().boundingRect(text).width();
    tickerLabel->setGeometry(0, 0, width, titleLabel->height());
    tickerLabel->setText(text);
}

void BottomMenu::update() {
    int x = tickerLabel->x() - 1;
    if (x + tickerLabel->width() <= 0) {
        x = kTickerWidth; // gone on the left: run in again from the right edge
    }
    tickerLabel->move(x, tickerLabel->y());
}

void BottomMenu::onButton(int event, QPushButton* button, int state) {
    if (!active) {
        return;
    }
    callbacks.dispatch(event, button, state);
}
