#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "DataRows.h"
#include "app/CompareVersion.h"
#include "app/GameProgram.h"

// The version comparison that decides between updating and starting a game, and the
// case-blind lookup of a game's program inside its folder.
class TestCompareVersion : public QObject {
    Q_OBJECT

private slots:
    void compare_data();
    void compare();
    void locate_data();
    void locate();
    void locateExactWinsOverOtherCase();
    void locateInRelativeFolder();
    void canWriteFolder_data();
    void canWriteFolder();
};

void TestCompareVersion::compare_data() {
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("result");

    QTest::newRow("first part newer") << "1.0.0"
                                      << "2.0.0" << 1;
    QTest::newRow("second part newer") << "1.0.0"
                                       << "1.1.0" << 2;
    QTest::newRow("third part newer") << "1.0.0"
                                      << "1.0.1" << 3;
    QTest::newRow("server older") << "2.0.0"
                                  << "1.9.9" << 0;
    QTest::newRow("server older in the second part") << "1.5.0"
                                                     << "1.4.9" << 0;
    QTest::newRow("equal") << "1.2.3"
                           << "1.2.3" << 0;
    QTest::newRow("nothing saved, server 0.0.1") << "0.0"
                                                 << "0.0.1" << 3;
    QTest::newRow("nothing saved, server 1.0.0") << "0.0"
                                                 << "1.0.0" << 1;
    QTest::newRow("nothing saved, server 0.2") << "0.0"
                                               << "0.2" << 2;
    QTest::newRow("nothing saved, server equally nothing") << "0.0"
                                                           << "0.0" << 0;
    // Parts compare as numbers, not as text.
    QTest::newRow("10 is newer than 9") << "1.9.0"
                                        << "1.10.0" << 2;
    QTest::newRow("leading zeros") << "1.02.0"
                                   << "1.2.0" << 0;
    QTest::newRow("second newer, third older") << "1.0.5"
                                               << "1.1.0" << 2;
    QTest::newRow("first newer, the rest older") << "1.999.999"
                                                 << "2.0.0" << 1;

    // A part that is not a number counts 0.
    QTest::newRow("letters installed") << "1.x.0"
                                       << "1.1.0" << 2;
    QTest::newRow("all letters installed") << "a.b.c"
                                           << "1.0.0" << 1;
    QTest::newRow("letters on the server are no newer") << "1.0.0"
                                                        << "x.1.0" << 0;
    QTest::newRow("suffixed part counts 0") << "1.0.0"
                                            << "1.1rc.0" << 0;
    QTest::newRow("out of range counts 0") << "99999999999.0.0"
                                           << "1.0.0" << 1;
    QTest::newRow("empty part kept") << "1..0"
                                     << "1.1.0" << 2;
    QTest::newRow("empty part on the server") << "1.0"
                                              << "1..1" << 3;

    // More or fewer than three parts.
    QTest::newRow("one part each") << "2"
                                   << "10" << 1;
    QTest::newRow("server has fewer parts") << "1.9"
                                            << "2" << 1;
    QTest::newRow("missing parts count 0") << "1.0"
                                           << "1.0.0.0" << 0;
    QTest::newRow("a fourth part only") << "1.2.3.4"
                                        << "1.2.3.5" << 0;
    QTest::newRow("a fourth part beside a newer third") << "1.2.3.9"
                                                        << "1.2.4.0" << 3;
    QTest::newRow("installed has more parts") << "1.0.0.7"
                                              << "1.1" << 2;

    // Empty texts.
    QTest::newRow("both empty") << ""
                                << "" << 0;
    QTest::newRow("empty installed") << ""
                                     << "1.0.0" << 1;
    QTest::newRow("empty server") << "1.0.0"
                                  << "" << 0;
    QTest::newRow("dot only") << "."
                              << "0.0.1" << 3;

    // The server must be newer by the weighted sum, each part a thousandth of the one
    // before, in single precision: a second part of 1000 outweighs a newer first part.
    QTest::newRow("overflowing second part") << "1.1000.0"
                                             << "2.0.0" << 0;
    QTest::newRow("second part just below") << "1.999.0"
                                            << "2.0.0" << 1;
}

void TestCompareVersion::compare() {
    QFETCH(QString, installed);
    QFETCH(QString, server);
    QFETCH(int, result);
    QCOMPARE(compareVersion(installed, server), result);
}

void TestCompareVersion::locate_data() {
    QTest::addColumn<QStringList>("files");   // made in the folder
    QTest::addColumn<QStringList>("folders"); // made in the folder
    QTest::addColumn<bool>("makeFolder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("found"); // file name found, empty for none

    QTest::newRow("exact") << QStringList{"matgo.exe"} << QStringList() << true << "matgo.exe"
                           << "matgo.exe";
    QTest::newRow("other case asked")
        << QStringList{"matgo.exe"} << QStringList() << true << "Matgo.exe"
        << "matgo.exe";
    QTest::newRow("other case on disk")
        << QStringList{"MATGO.EXE"} << QStringList() << true << "matgo.exe"
        << "MATGO.EXE";
    QTest::newRow("among other files")
        << QStringList{"readme.txt", "Matgo.exe.bak", "matgo.ex", "mAtGo.ExE", "zeta.exe"}
        << QStringList() << true << "matgo.exe"
        << "mAtGo.ExE";
    QTest::newRow("missing") << QStringList{"poker.exe", "matgo"} << QStringList() << true
                             << "matgo.exe" << QString();
    QTest::newRow("empty folder") << QStringList() << QStringList() << true << "matgo.exe"
                                  << QString();
    QTest::newRow("folder missing")
        << QStringList() << QStringList() << false << "matgo.exe" << QString();
    QTest::newRow("a directory is not a program")
        << QStringList() << QStringList{"matgo.exe"} << true << "matgo.exe" << QString();
    QTest::newRow("a directory in other case is not a program")
        << QStringList() << QStringList{"Matgo.exe"} << true << "matgo.exe" << QString();
    QTest::newRow("a directory beside the file")
        << QStringList{"MATGO.exe"} << QStringList{"matgo.exe"} << true << "matgo.exe"
        << "MATGO.exe";
    QTest::newRow("hidden file") << QStringList{".Matgo.exe"} << QStringList() << true
                                 << ".matgo.exe"
                                 << ".Matgo.exe";
}

void TestCompareVersion::locate() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(bool, makeFolder);
    QFETCH(QString, name);
    QFETCH(QString, found);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString folder = tmp.path() + "/Matgo";
    if (makeFolder) {
        QVERIFY(QDir().mkpath(folder));
    }
    for (const QString& file : files) {
        QFile out(folder + '/' + file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("#!/bin/sh\n");
    }
    for (const QString& sub : folders) {
        QVERIFY(QDir().mkpath(folder + '/' + sub));
    }

    const QString path = GameProgram::locate(folder, name);
    if (found.isEmpty()) {
        QCOMPARE(path, QString());
    } else {
        QCOMPARE(QFileInfo(path).absoluteFilePath(), folder + '/' + found);
        QVERIFY(QFileInfo(path).isFile());
    }
}

void TestCompareVersion::locateExactWinsOverOtherCase() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    for (const char* name : {"MATGO.EXE", "Matgo.exe", "matgo.exe"}) {
        QFile out(tmp.filePath(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
    }
    for (const char* name : {"MATGO.EXE", "Matgo.exe", "matgo.exe"}) {
        QCOMPARE(QFileInfo(GameProgram::locate(tmp.path(), name)).fileName(), QString(name));
    }
}

void TestCompareVersion::locateInRelativeFolder() {
    // The launcher asks with paths relative to its working folder.
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(QDir().mkpath(tmp.path() + "/Launcher/bin/release"));
    QVERIFY(QDir().mkpath(tmp.path() + "/Matgo"));
    QFile out(tmp.path() + "/Matgo/Matgo.EXE");
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.close();

    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp.path() + "/Launcher/bin/release"));
    const QString path = GameProgram::locate("../../../Matgo", "matgo.exe");
    const QString missing = GameProgram::locate("../../../Poker", "Poker.exe");
    const QString absolute = QFileInfo(path).canonicalFilePath();
    QVERIFY(QDir::setCurrent(saved));

    QCOMPARE(path, QString("../../../Matgo/Matgo.EXE"));
    QCOMPARE(absolute, QFileInfo(tmp.path() + "/Matgo/Matgo.EXE").canonicalFilePath());
    QCOMPARE(missing, QString());
}

void TestCompareVersion::canWriteFolder_data() {
    testsupport::addRows<int, bool>(
        "mode", "writable", // mode -1: no folder yet
        {{"missing: made", -1, true}, {"open to all", 0777, true}, {"read-only", 0555, false}});
}

// Tried as an ordinary player: root ignores the modes, so as root it runs as nobody.
void TestCompareVersion::canWriteFolder() {
    QFETCH(int, mode);
    QFETCH(bool, writable);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(QFile::setPermissions(tmp.path(), QFileDevice::Permissions(0x7777)));
    const QString folder = tmp.path() + "/Matgo";
    if (mode >= 0) {
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)), 0);
    }
    const uid_t euid = geteuid();
    QVERIFY(euid != 0 || seteuid(65534) == 0);
    const bool result = GameProgram::canWriteFolder(folder);
    QVERIFY(euid != 0 || seteuid(0) == 0);
    QCOMPARE(result, writable);
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

QTEST_MAIN(TestCompareVersion)
#include "TestCompareVersion.moc"
