// Checks the progress panel's figures against a throttled loopback server:
//   updatefigures <ftp base address> <working folder> <game>
// Runs one update, samples the worker's figures every 60 ms through the panel's own
// estimate (as the panel does), and prints the speed shown 5 s into the download against
// the real rate, the time left shown at the halfway point against the real remaining
// time, and whether the bar ever went back. Exits non-zero when a limit is missed.

#include <cstdio>
#include <vector>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "update/FtpThread.h"
#include "update/ProgressEstimate.h"
#include "utility/XmlServerParser.h"

namespace {
struct Sample {
    long long msecs;
    long long done;
    double speed;
    long long left;
    int bar;
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: updatefigures <ftp base address> <working folder> <game>\n");
        return 2;
    }
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "no such folder: %s\n", argv[2]);
        return 2;
    }
    const QByteArray attribute = QString::fromUtf8(argv[1]).toHtmlEscaped().toUtf8();
    utility::XmlServerParser::getInstance()->parse("<servers><ftp url=\"" + attribute +
                                                   "\"/></servers>");

    FtpThread thread(argv[3]);
    ProgressEstimate estimate;
    std::vector<Sample> samples;
    QElapsedTimer clock;
    long long started = -1;
    long long ended = -1;
    thread.start();
    clock.start();
    while (!thread.isFinished()) {
        QThread::msleep(60);
        const long long now = clock.elapsed();
        if (thread.phase != FtpThread::Downloading) {
            if (started >= 0 && ended < 0) {
                ended = now;
            }
            continue;
        }
        if (started < 0) {
            started = now;
        }
        const long long done = thread.bytesDone;
        const long long total = thread.bytesTotal;
        estimate.sample(now, done);
        const int bar = total > 0 ? int(std::min<long long>(1000, done * 1000 / total)) : 0;
        if (qEnvironmentVariableIsSet("FIGURES_TRACE")) {
            std::fprintf(stderr, "%lld %lld %.0f\n", now - started, done,
                         estimate.bytesPerSecond());
        }
        samples.push_back({now - started, done, estimate.bytesPerSecond(),
                           estimate.secondsLeft(total - done), bar});
    }
    if (thread.phase != FtpThread::Installing || samples.empty()) {
        std::printf("the update failed (phase %d)\n", int(thread.phase));
        return 1;
    }
    if (ended < 0) {
        ended = clock.elapsed();
    }
    const long long total = thread.bytesTotal;
    const double seconds = double(ended - started) / 1000.0;
    const double realRate = double(total) / seconds;

    double speedAt5 = -1;
    double leftAtHalf = -1;
    double realLeftAtHalf = -1;
    bool monotonic = true;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        if (i > 0 && s.bar < samples[i - 1].bar) {
            monotonic = false;
        }
        if (speedAt5 < 0 && s.msecs >= 5000) {
            speedAt5 = s.speed;
        }
        if (leftAtHalf < 0 && s.done * 2 >= total) {
            leftAtHalf = double(s.left);
            realLeftAtHalf = seconds - double(s.msecs) / 1000.0;
        }
    }
    const double speedError = speedAt5 > 0 ? (speedAt5 - realRate) / realRate : -1;
    const double leftError = leftAtHalf >= 0 ? (leftAtHalf - realLeftAtHalf) / realLeftAtHalf : -1;
    std::printf("download           %lld bytes in %.2f s: real rate %.0f B/s\n", total, seconds,
                realRate);
    std::printf("speed shown at 5 s %.0f B/s (%+.1f %%, limit 15 %%)\n", speedAt5,
                speedError * 100);
    std::printf("time left at half  %.0f s shown, %.2f s real (%+.1f %%, limit 25 %%)\n",
                leftAtHalf, realLeftAtHalf, leftError * 100);
    std::printf("bar                %s\n", monotonic ? "never went back" : "WENT BACK");
    bool ok = monotonic;
    if (speedAt5 < 0 || speedError < -0.15 || speedError > 0.15) {
        std::printf("FAIL: the speed shown is off by more than 15 %%\n");
        ok = false;
    }
    if (leftAtHalf < 0 || leftError < -0.25 || leftError > 0.25) {
        std::printf("FAIL: the time left shown is off by more than 25 %%\n");
        ok = false;
    }
    std::printf(ok ? "within the limits\n" : "");
    return ok ? 0 : 1;
}
