#pragma once

#include <functional>
#include <string>

#include <QElapsedTimer>
#include <QWidget>

#include "update/ProgressEstimate.h"

class FtpThread;
class QLabel;
class QProgressBar;
class QPushButton;
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
    // Starts checking game 0..3's installed files and repairing what is damaged, in the
    // same panel; the report says the game's folder when the repair succeeded, and
    // repairReport() then words its figures.
    void verify(int game);
    bool isBusy() const { return thread != nullptr; }
    // The last repair's result for the player: files checked, damaged and put right.
    QString repairReport() const;
    // The worded result of a repair; `repaired` below `damaged`: some could not be.
    static QString repairText(int checked, int damaged, int repaired);
    // Stops the running update: a download ends at once (its data kept for the next
    // update), an installation after the entry being written. The update then ends
    // unsuccessfully, and wasCancelled() tells the report's receiver that the player
    // chose it.
    void cancel();
    bool wasCancelled() const { return cancelled; }

    // The line under the bar while downloading ("12.4 MB of 30.0 MB · 2.0 MB/s · about
    // 9 s left") and while installing ("142 of 310 files"), worded by the catalogue; a
    // missing message leaves its figures alone. secondsLeft -1: not known yet.
    static QString downloadFigures(long long done, long long total, double bytesPerSecond,
                                   long long secondsLeft);
    static QString installFigures(int done, int total);

public slots:
    // Deliberately hides QWidget::update(): the timer must reach this one.
    void update();

protected:
    // The worker of one update; the panel owns and deletes what this returns.
    virtual FtpThread* createThread(const std::string& gameName, bool repair);
    void showEvent(QShowEvent* event) override;

private:
    FinishCallback finishedCallback;
    FtpThread* thread = nullptr;
    QTimer* timer = nullptr;
    QLabel* backgroundLabel = nullptr;
    QLabel* statusLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    std::string gameName;
    QLabel* figuresLabel = nullptr;
    QPushButton* cancelButton = nullptr;
    ProgressEstimate estimate;
    QElapsedTimer clock;
    int shownPhase = 0; // the bar never goes back within one phase
    bool cancelled = false;
    int repairFigures[3] = {0, 0, 0}; // checked, damaged, put right
    // The background picture and the style sheets are set when the panel is first shown:
    // most runs never show it, and style sheets cost time and memory as they are set.
    bool lookSet = false;

    void begin(int game, bool repair);
    void setLook();
    void showFigures();
    void reportFinished(const std::string& name);

    friend class TestGameLaunch;
};
