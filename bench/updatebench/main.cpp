// Runs one game update the way the launcher's download panel does, without a window:
//   updatebench <ftp base address> <working folder> <game> [repair]
// The game lands in "<working folder>/../../../<game>". Prints the final phase and the
// time taken; exits with 0 only when the update succeeded. With "repair", the run checks
// and repairs the installed game instead, and also prints the files checked and damaged.

#include <cstdio>
#include <string>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include "update/FtpThread.h"
#include "utility/XmlServerParser.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool repair = argc == 5 && std::string(argv[4]) == "repair";
    if (argc != 4 && !repair) {
        std::fprintf(stderr,
                     "usage: updatebench <ftp base address> <working folder> <game> [repair]\n");
        return 2;
    }
    const QByteArray url = argv[1];
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "no such folder: %s\n", argv[2]);
        return 2;
    }
    const QByteArray attribute = QString::fromUtf8(url).toHtmlEscaped().toUtf8();
    utility::XmlServerParser::getInstance()->parse("<servers><ftp url=\"" + attribute +
                                                   "\"/></servers>");

    QElapsedTimer clock;
    clock.start();
    FtpThread thread(argv[3], repair);
    thread.start();
    thread.wait();
    const int phase = thread.phase;
    std::printf("phase %d\nseconds %.3f\n", phase, clock.elapsed() / 1000.0);
    if (repair) {
        std::printf("checked %d\ndamaged %d\n", thread.filesChecked.load(),
                    thread.filesDamaged.load());
    }
    return phase == FtpThread::Installing ? 0 : 1;
}
