#include "app/VerifyCommand.h"

#include <QDebug>

#include "platform/Console.h"
#include "update/FtpDownloadView.h"
#include "update/FtpThread.h"
#include "utility/GameTable.h"

int VerifyCommand::gameIndex(const QString& name) {
    for (int game = 0; game < games::Count; ++game) {
        if (name.compare(QLatin1String(games::info(game).folder), Qt::CaseInsensitive) == 0) {
            return game;
        }
    }
    return -1;
}

int VerifyCommand::run(const QString& name) {
    const int game = gameIndex(name);
    if (game < 0) {
        consolePrint("usage: launcher --verify Poker|Matgo|Hongsip|Majong\n");
        return 2;
    }
    const std::string folder = games::info(game).folder;
    qDebug() << "verify and repair" << folder.c_str() << "from the command line";
    FtpThread thread(folder, true);
    thread.start();
    thread.wait();
    const int damaged = thread.filesDamaged;
    const int repaired = thread.filesRepaired;
    const bool whole = thread.phase == FtpThread::Installing && repaired >= damaged;
    // A repair that failed part way put right none of what it found for certain.
    const QString text =
        FtpDownloadView::repairText(thread.filesChecked, damaged, whole ? repaired : 0);
    consolePrint((folder + ": " + text.toStdString() + "\n").c_str());
    if (thread.phase != FtpThread::Installing) {
        consolePrint("The repair could not be finished: see the launcher's log.\n");
    }
    return whole ? 0 : 1;
}
