#include "update/FtpDownloadView.h"

#include <algorithm>

#include <QBrush>
#include <QDebug>
#include <QDir>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QTimer>

#include "archive/ResourceArchive.h"
#include "archive/RunTree.h"
#include "update/FtpThread.h"
#include "utility/GameTable.h"
#include "utility/XmlMsgParser.h"

namespace {

ResourceArchive* const archiveReader = ResourceArchive::openDefault();

// A catalogue message with its figures put in, or the figures alone when the message is
// missing or has no place for them.
QString worded(int id, const QStringList& figures, const QString& alone) {
    const QString text = utility::XmlMsgParser::getInstance()->message(id);
    if (!text.contains(QLatin1String("%1")) ||
        (figures.size() > 1 && !text.contains(QLatin1String("%2")))) {
        return alone;
    }
    QString out = text;
    for (const QString& figure : figures) {
        out = out.arg(figure);
    }
    return out;
}

const char* const barStyle =
    "QProgressBar { border: 1px solid #8a6a2a; border-radius: 4px;"
    " background: rgba(0, 0, 0, 90); color: white; text-align: center; font-size: 11px; }"
    "QProgressBar::chunk { border-radius: 3px; background: qlineargradient(x1: 0, y1: 0,"
    " x2: 0, y2: 1, stop: 0 #e8c766, stop: 1 #b08a2e); }";

const char* const buttonStyle =
    "QPushButton { color: #fff8e6; border: 1px solid #8a6a2a; border-radius: 5px;"
    " background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #5b3d1c, stop: 1 #3b2610);"
    " padding: 2px 8px; font-size: 12px; }"
    "QPushButton:hover { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,"
    " stop: 0 #74512a, stop: 1 #4a3016); }"
    "QPushButton:pressed { background: #2e1d0b; }"
    "QPushButton:disabled { color: #a89a80; }";

void paintTextWhite(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText, QBrush(Qt::white, Qt::SolidPattern));
    widget->setPalette(palette);
}

// A line of white text, left-aligned in its row of the panel.
QLabel* whiteLabel(QWidget* parent, const char* name, int pixelSize, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setForegroundRole(QPalette::WindowText);
    paintTextWhite(label);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setGeometry(geometry);
    return label;
}

} // namespace

FtpDownloadView::FtpDownloadView(QWidget* parent) : QWidget(parent) {
    backgroundLabel = new QLabel(this);
    backgroundLabel->move(0, 0);
    backgroundLabel->show();

    // Status, bar and figures each have their own row inside the green cloth of the
    // background, and the cancel button sits at the end of the status row.
    progressBar = new QProgressBar(this);
    progressBar->setObjectName("progressBar");
    progressBar->setGeometry(26, 112, 340, 18);
    progressBar->setRange(0, 1000);
    progressBar->setValue(0);
    progressBar->setTextVisible(true);
    progressBar->show();
    progressBar->setForegroundRole(QPalette::WindowText);
    paintTextWhite(progressBar);

    statusLabel = whiteLabel(this, "statusLabel", 15, QRect(28, 86, 256, 22));
    figuresLabel = whiteLabel(this, "figuresLabel", 12, QRect(28, 136, 338, 22));
    figuresLabel->setTextFormat(Qt::PlainText);

    cancelButton = new QPushButton(this);
    cancelButton->setObjectName("cancelButton");
    const QString cancelText = utility::XmlMsgParser::getInstance()->message(209);
    cancelButton->setText(cancelText.isEmpty() ? QString(QChar(0xd7)) : cancelText);
    cancelButton->setCursor(Qt::PointingHandCursor);
    cancelButton->setGeometry(290, 84, 76, 24);
    cancelButton->hide();
    connect(cancelButton, &QPushButton::clicked, this, &FtpDownloadView::cancel);

    timer = new QTimer(this);
    connect(timer, SIGNAL(timeout()), this, SLOT(update()));
    timer->start(60);
}

FtpDownloadView::~FtpDownloadView() {
    timer->stop();
    delete progressBar;
    if (thread) {
        // Closing during an update: the worker aborts its transfer and is waited for.
        thread->requestInterruption();
        thread->wait();
        delete thread;
    }
    delete backgroundLabel;
    delete timer;
    delete statusLabel;
    delete figuresLabel;
    delete cancelButton;
}

void FtpDownloadView::showEvent(QShowEvent* event) {
    setLook();
    QWidget::showEvent(event);
}

void FtpDownloadView::setLook() {
    if (lookSet) {
        return;
    }
    lookSet = true;
    const QPixmap background = loadPixmap(archiveReader, "install/instbase.png");
    backgroundLabel->setPixmap(background);
    backgroundLabel->resize(background.size());
    progressBar->setStyleSheet(barStyle);
    cancelButton->setStyleSheet(buttonStyle);
}

void FtpDownloadView::setFinishedCallback(FinishCallback cb) {
    finishedCallback = std::move(cb);
}

FtpThread* FtpDownloadView::createThread(const std::string& name, bool repair) {
    return new FtpThread(name, repair);
}

void FtpDownloadView::start(int game) {
    begin(game, false);
}

void FtpDownloadView::verify(int game) {
    begin(game, true);
}

QString FtpDownloadView::repairReport() const {
    return repairText(repairFigures[0], repairFigures[1], repairFigures[2]);
}

QString FtpDownloadView::repairText(int checked, int damaged, int repaired) {
    const QString c = QString::number(checked);
    const QString d = QString::number(damaged);
    if (damaged == 0) {
        return worded(214, {c}, QString("Files checked: %1. All are whole.").arg(c));
    }
    if (repaired >= damaged) {
        return worded(
            215, {c, d},
            QString("Files checked: %1. Damaged or missing: %2, all repaired.").arg(c, d));
    }
    const QString left = QString::number(damaged - repaired);
    return worded(216, {c, d, left},
                  QString("Files checked: %1. Damaged or missing: %2, of which %3 could not be "
                          "repaired. Please try again; if it keeps failing, send the launcher's "
                          "log to support.")
                      .arg(c, d, left));
}

void FtpDownloadView::begin(int game, bool repair) {
    if (thread) {
        qDebug() << "an update is still running";
        return;
    }
    if (games::isGame(game)) {
        gameName = games::info(game).folder;
    }
    if (gameName.empty()) {
        qDebug() << "no game to update:" << game;
        if (finishedCallback) {
            finishedCallback(std::string());
        }
        return;
    }
    const QString folder = QString::fromStdString(runtree::gamesFolder + gameName);
    if (!QDir(folder).exists()) {
        QDir::current().mkdir(folder);
    }
    cancelled = false;
    std::fill(std::begin(repairFigures), std::end(repairFigures), 0);
    shownPhase = FtpThread::NotStarted;
    estimate.reset();
    clock.start();
    figuresLabel->clear();
    thread = createThread(gameName, repair);
    thread->start(QThread::InheritPriority);
    if (!thread->isRunning() && !thread->isFinished()) {
        // The system gave no thread: the update has failed, and the panel must not wait
        // for a worker that will never run.
        qDebug() << "could not start the update worker";
        delete thread;
        thread = nullptr;
        reportFinished(std::string());
        return;
    }
    cancelButton->setEnabled(true);
    cancelButton->show();
}

void FtpDownloadView::cancel() {
    if (!thread || cancelled) {
        return;
    }
    qDebug() << "update cancelled by the player";
    cancelled = true;
    cancelButton->setEnabled(false);
    thread->requestInterruption();
}

QString FtpDownloadView::downloadFigures(long long done, long long total, double bytesPerSecond,
                                         long long secondsLeft) {
    const QString doneText = ProgressEstimate::formatBytes(done);
    const QString totalText = ProgressEstimate::formatBytes(total);
    QStringList parts;
    parts << worded(205, {doneText, totalText}, doneText + " / " + totalText);
    if (bytesPerSecond > 0) {
        const QString speed = ProgressEstimate::formatBytes(static_cast<long long>(bytesPerSecond));
        parts << worded(206, {speed}, speed + "/s");
    }
    if (secondsLeft >= 0) {
        const QString left = ProgressEstimate::formatDuration(secondsLeft);
        parts << worded(207, {left}, left);
    }
    return parts.join(QString::fromUtf8(" \u00b7 "));
}

QString FtpDownloadView::installFigures(int done, int total) {
    const QString doneText = QString::number(done);
    const QString totalText = QString::number(total);
    return worded(208, {doneText, totalText}, doneText + " / " + totalText);
}

void FtpDownloadView::showFigures() {
    const int phase = thread->phase;
    if (phase != shownPhase) {
        shownPhase = phase;
        progressBar->setValue(0); // a new phase starts its bar from the beginning
        estimate.reset();
        figuresLabel->clear();
    }
    int value = -1;
    if (phase == FtpThread::Downloading) {
        const long long done = thread->bytesDone;
        const long long total = thread->bytesTotal;
        if (total > 0) {
            value = static_cast<int>(std::min<long long>(1000, done * 1000 / total));
        }
        estimate.sample(clock.elapsed(), done);
        figuresLabel->setText(downloadFigures(done, total, estimate.bytesPerSecond(),
                                              estimate.secondsLeft(total - done)));
    } else if (phase == FtpThread::Installing || phase == FtpThread::Verifying) {
        const int total = thread->total;
        const int current = thread->current;
        if (total != 0) {
            value =
                static_cast<int>(static_cast<float>(current) / static_cast<float>(total) * 1000.0f);
        }
        figuresLabel->setText(installFigures(current, total));
    }
    if (value > progressBar->value()) {
        progressBar->setValue(value);
    }
}

void FtpDownloadView::reportFinished(const std::string& name) {
    statusLabel->setText(QString());
    figuresLabel->clear();
    progressBar->setValue(0);
    cancelButton->hide();
    if (finishedCallback) {
        finishedCallback(name);
    }
}

void FtpDownloadView::update() {
    if (!thread) {
        return;
    }
    if (thread->isRunning()) {
        const int phase = thread->phase;
        if (phase == FtpThread::Listing) {
            statusLabel->setText(utility::XmlMsgParser::getInstance()->message(200));
        } else if (phase == FtpThread::Downloading || phase == FtpThread::Installing) {
            statusLabel->setText(utility::XmlMsgParser::getInstance()->message(
                phase == FtpThread::Downloading ? 201 : 202));
            showFigures();
        } else if (phase == FtpThread::Verifying) {
            const QString text = utility::XmlMsgParser::getInstance()->message(211);
            statusLabel->setText(text.isEmpty() ? QString("Checking the game's files...") : text);
            showFigures();
        }
        return;
    }
    if (!thread->isFinished()) {
        return; // made but not started yet
    }
    const int phase = thread->phase;
    repairFigures[0] = thread->filesChecked;
    repairFigures[1] = thread->filesDamaged;
    repairFigures[2] = thread->filesRepaired;
    // Let go of the worker before reporting, so the report may start the next update.
    delete thread;
    thread = nullptr;
    // A cancel that came after the worker's last check is honoured all the same: nothing
    // is recorded, nothing is started.
    reportFinished(phase > 0 && !cancelled ? gameName : std::string());
}
