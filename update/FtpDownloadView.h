#pragma once

#include <functional>
#include <string>

#include <QWidget>

class FtpThread;
class QLabel;
class QProgressBar;
class QTimer;

// The panel's report when an update has ended: the game's folder name, or an empty
// string when nothing was found or the update failed.
using FinishCallback = std::function<void(const std::string&)>;

// The progress panel of a game update, a child of the main window on the GUI thread. It
// owns the one FtpThread of the running update and polls its figures every 60 ms.
class FtpDownloadView : public QWidget {
    Q_OBJECT

public:
    explicit FtpDownloadView(QWidget* parent = nullptr);
    ~FtpDownloadView() override;

    void setFinishedCallback(FinishCallback cb);
    // Starts updating game 0..3; refused while an update is still running.
    void start(int game);

public slots:
    // Deliberately hides QWidget::update(): the timer must reach this one.
    void update();

protected:
    // The worker of one update; the panel owns and deletes what this returns.
    virtual FtpThread* createThread(const std::string& gameName);

private:
    FinishCallback finishedCallback;
    FtpThread* thread = nullptr;
    QTimer* timer = nullptr;
    QLabel* backgroundLabel = nullptr;
    QLabel* statusLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    std::string gameName;
};
