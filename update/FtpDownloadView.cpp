#include "FtpDownloadView.h"

#include <QBrush>
#include <QDebug>
#include <QDir>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QTimer>

#include "FtpThread.h"
#include "ResourceArchive.h"
#include "XmlMsgParser.h"

namespace {

ResourceArchive* const archiveReader = ResourceArchive::openDefault();

const char* const gameFolders[] = {"Poker", "Matgo", "Hongsip", "Majong"};

void paintTextWhite(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText, QBrush(Qt::white, Qt::SolidPattern));
    widget->setPalette(palette);
}

} // namespace

FtpDownloadView::FtpDownloadView(QWidget* parent) : QWidget(parent) {
    backgroundLabel = new QLabel(this);
    backgroundLabel->setPixmap(loadPixmap(archiveReader, "install/instbase.png"));
    backgroundLabel->move(0, 0);
    backgroundLabel->show();

    progressBar = new QProgressBar(this);
    progressBar->setObjectName("progressBar");
    progressBar->setGeometry(27, 157, 328, 10);
    progressBar->setRange(0, 1000);
    progressBar->setValue(0);
    progressBar->setTextVisible(true);
    progressBar->show();
    progressBar->setForegroundRole(QPalette::WindowText);
    paintTextWhite(progressBar);

    statusLabel = new QLabel(this);
    statusLabel->setObjectName("statusLabel");
    statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignHCenter);
    statusLabel->setForegroundRole(QPalette::WindowText);
    paintTextWhite(statusLabel);
    statusLabel->setGeometry(50, 140, 200, 20);
    statusLabel->setText(QString());

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
}

void FtpDownloadView::setFinishedCallback(FinishCallback cb) {
    finishedCallback = std::move(cb);
}

FtpThread* FtpDownloadView::createThread(const std::string& name) {
    return new FtpThread(name);
}

void FtpDownloadView::start(int game) {
    if (thread) {
        qDebug() << "an update is still running";
        return;
    }
    if (game >= 0 && game < 4) {
        gameName = gameFolders[game];
    }
    if (gameName.empty()) {
        qDebug() << "no game to update:" << game;
        if (finishedCallback) {
            finishedCallback(std::string());
        }
        return;
    }
    const QString folder = QString::fromStdString("../../../" + gameName);
    if (!QDir(folder).exists()) {
        QDir::current().mkdir(folder);
    }
    thread = createThread(gameName);
    thread->start(QThread::InheritPriority);
    if (!thread->isRunning() && !thread->isFinished()) {
        // The system gave no thread: the update has failed, and the panel must not wait
        // for a worker that will never run.
        qDebug() << "could not start the update worker";
        delete thread;
        thread = nullptr;
        statusLabel->setText(QString());
        progressBar->setValue(0);
        if (finishedCallback) {
            finishedCallback(std::string());
        }
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
            const int total = thread->total;
            const int current = thread->current;
            if (total != 0) {
                progressBar->setValue(static_cast<int>(static_cast<float>(current) /
                                                       static_cast<float>(total) * 1000.0f));
            }
        }
        return;
    }
    if (!thread->isFinished()) {
        return; // made but not started yet
    }
    const int phase = thread->phase;
    // Let go of the worker before reporting, so the report may start the next update.
    delete thread;
    thread = nullptr;
    statusLabel->setText(QString());
    progressBar->setValue(0);
    if (finishedCallback) {
        finishedCallback(phase > 0 ? gameName : std::string());
    }
}
