#include <QtTest>

#include <memory>

#include <atomic>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCodec>

#include "DataRows.h"
#include "LogCapture.h"
#include "RunTreeFixture.h"
#include "TestSupport.h"
#include "ZipMaker.h"
#include "update/PackageInstaller.h"

using testsupport::ZipEntry;

// The installer unpacks "../../../Poker/Poker.zip" relative to the working folder: every
// test works in a temporary tree "<tmp>/Launcher/bin/release" with the game in "<tmp>/Poker".
class TestPackageInstaller : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void folderEntryThenFile();
    void fileWithoutFolderEntry();
    void emptyArchive();
    void tenEntries();
    void leadingBytes_data();
    void leadingBytes();
    void damagedEntry_data();
    void damagedEntry();
    void unsafeEntry_data();
    void unsafeEntry();
    void safeNames_data();
    void safeNames();
    void windowsNames_data();
    void windowsNames();
    void diskTooSmall_data();
    void diskTooSmall();
    void longNames();
    void executeBits_data();
    void executeBits();
    void overwritesAndKeeps();
    void missingPackage();
    void notAZip();
    void blockLinesQuietByDefault_data();
    void blockLinesQuietByDefault();
    void syncFolder_data();
    void syncFolder();

private:
    bool install();
    QString game(const QString& rel = QString()) const { return tree->game("Poker", rel); }
    QString package() const { return game("Poker.zip"); }
    QByteArray read(const QString& path) const { return testsupport::readOrMissing(path); }
    // Every path below the temporary root except the game folder's contents.
    QStringList treeOutsideGame() const { return testsupport::pathsOutside(tree->root(), game()); }

    std::unique_ptr<testsupport::RunTreeFixture> tree;
    std::atomic<int> total{-1};
    std::atomic<int> current{-1};
};

void TestPackageInstaller::init() {
    tree = std::make_unique<testsupport::RunTreeFixture>("Poker");
    QVERIFY(tree->isValid());
    total = -1;
    current = -1;
}

void TestPackageInstaller::cleanup() {
    tree.reset();
}

bool TestPackageInstaller::install() {
    PackageInstaller installer("Poker", total, current);
    return installer.run();
}

void TestPackageInstaller::folderEntryThenFile() {
    const QByteArray exe = testsupport::randomBytes(10000);
    QVERIFY(testsupport::makeZip(package(), {{"bin/", ""}, {"bin/game.exe", exe}}));
    QVERIFY(install());
    QVERIFY(QFileInfo(game("bin")).isDir());
    QCOMPARE(read(game("bin/game.exe")), exe);
    QVERIFY(!QFile::exists(package()));
    QCOMPARE(total.load(), 2);
    QCOMPARE(current.load(), 2);
}

void TestPackageInstaller::fileWithoutFolderEntry() {
    QVERIFY(testsupport::makeZip(
        package(),
        {{"bin/game.exe", "program"}, {"data/maps/deep/level1.dat", "level"}, {"top.txt", "top"}}));
    QVERIFY(install());
    QCOMPARE(read(game("bin/game.exe")), QByteArray("program"));
    QCOMPARE(read(game("data/maps/deep/level1.dat")), QByteArray("level"));
    QCOMPARE(read(game("top.txt")), QByteArray("top"));
    QVERIFY(!QFile::exists(package()));
}

void TestPackageInstaller::emptyArchive() {
    QVERIFY(testsupport::makeZip(package(), {}));
    QVERIFY(QFile::exists(package()));
    QVERIFY(install());
    QVERIFY(!QFile::exists(package()));
    QCOMPARE(total.load(), 0);
    QCOMPARE(current.load(), 0);
    QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestPackageInstaller::tenEntries() {
    QList<ZipEntry> entries;
    for (int i = 0; i < 10; ++i) {
        entries.append({"file" + QByteArray::number(i) + ".txt", QByteArray::number(i * i)});
    }
    QVERIFY(testsupport::makeZip(package(), entries));
    QVERIFY(install());
    QCOMPARE(total.load(), 10);
    QCOMPARE(current.load(), 10);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(read(game(QString("file%1.txt").arg(i))), QByteArray::number(i * i));
    }
}

void TestPackageInstaller::leadingBytes_data() {
    testsupport::addRows<QByteArray>(
        "prefix", {{"none", QByteArray()},
                   {"old 4-byte length prefix", QByteArray("\x00\x01\x02\x03", 4)},
                   {"a hundred bytes", QByteArray(100, 'x')}});
}

void TestPackageInstaller::leadingBytes() {
    QFETCH(QByteArray, prefix);
    const QByteArray big = testsupport::randomBytes(70000);
    const QString plain = tree->root() + "/plain.zip";
    QVERIFY(testsupport::makeZip(plain, {{"a/", ""}, {"a/big.bin", big}, {"b.txt", "bee"}}));
    QFile out(package());
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(prefix + read(plain));
    out.close();

    QVERIFY(install());
    QCOMPARE(read(game("a/big.bin")), big);
    QCOMPARE(read(game("b.txt")), QByteArray("bee"));
    QCOMPARE(total.load(), 3);
    QVERIFY(!QFile::exists(package()));
}

void TestPackageInstaller::damagedEntry_data() {
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("size");     // bytes the entry holds
    QTest::addColumn<int>("damageAt"); // offset into the entry's data, -1 for none
    QTest::addColumn<int>("declared"); // uncompressed size it claims, -1 for the true one
    // An invalid deflate block type makes the read itself fail.
    QTest::newRow("read error") << false << 20000 << 0 << -1;
    // Stored data reads fine but does not match its checksum.
    QTest::newRow("checksum mismatch") << true << 20000 << 5000 << -1;
    QTest::newRow("checksum mismatch after many blocks") << true << 1500000 << 1400000 << -1;
    // The reader ends quietly where the data ends and then checks no checksum.
    QTest::newRow("declares 1000 bytes, holds 100") << false << 100 << -1 << 1000;
    QTest::newRow("stored, declares more than it holds") << true << 20000 << -1 << 30000;
    // Never written past what it declares (a zip bomb stops there).
    QTest::newRow("holds more than it declares") << false << 20000 << -1 << 10000;
}

void TestPackageInstaller::damagedEntry() {
    QFETCH(bool, stored);
    QFETCH(int, size);
    QFETCH(int, damageAt);
    QFETCH(int, declared);
    QFile old(game("data.bin"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("previous version");
    old.close();

    const QString plain = tree->root() + "/plain.zip";
    ZipEntry entry{"data.bin", testsupport::randomBytes(size)};
    entry.stored = stored;
    QVERIFY(testsupport::makeZip(plain, {{"first.txt", "first"}, entry, {"last.txt", "last"}}));
    QByteArray archive = read(plain);
    const qint64 offset = testsupport::entryDataOffset(archive, "data.bin");
    QVERIFY(offset > 0);
    if (declared >= 0) {
        QVERIFY(testsupport::setDeclaredSize(archive, "data.bin", quint32(declared)));
    } else if (stored) {
        archive[int(offset + damageAt)] = char(archive[int(offset + damageAt)] ^ 0x55);
    } else {
        archive[int(offset)] = char(0x07); // final block of the reserved type 3
    }
    QFile out(package());
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(archive);
    out.close();

    QVERIFY(!install());
    QCOMPARE(read(package()), archive); // kept as it came, for inspection
    QCOMPARE(read(game("first.txt")), QByteArray("first"));
    QCOMPARE(read(game("data.bin")), QByteArray("previous version"));
    QVERIFY(!QFile::exists(game("last.txt")));
    // No half-written copy lies around and nothing of the game folder is still open.
    QCOMPARE(QDir(game()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"data.bin", "first.txt", "Poker.zip"}));
    const QDir fds("/proc/self/fd");
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::Files)) {
        QVERIFY2(!fd.symLinkTarget().startsWith(game()), qPrintable(fd.symLinkTarget()));
    }
}

void TestPackageInstaller::unsafeEntry_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("escapedPath"); // where the entry would land; must not appear
    const QByteArray absolute = QDir::tempPath().toUtf8() + "/updtest-" +
                                QByteArray::number(QCoreApplication::applicationPid()) + "-x";
    QTest::newRow("parent") << QByteArray("../x") << "../../../x";
    QTest::newRow("absolute") << absolute << QString::fromUtf8(absolute);
    QTest::newRow("parent inside") << QByteArray("bin/../../x") << "../../../x";
    QTest::newRow("deep parent") << QByteArray("a/b/../../../../launcher/x")
                                 << "../../../launcher/x";
    QTest::newRow("backslash parent") << QByteArray("..\\x") << "../../../x";
    QTest::newRow("drive letter") << QByteArray("C:/x") << "../../../Poker/C:/x";
    QTest::newRow("parent folder entry") << QByteArray("../evil/") << "../../../evil";
    // The update's own staging folder is not the package's to write.
    QTest::newRow("staging folder") << QByteArray(".partial/data/x") << "../../../Poker/.partial";
    QTest::newRow("backslash staging folder")
        << QByteArray(".partial\\data\\x") << "../../../Poker/.partial";
    QTest::newRow("install record") << QByteArray(".installed") << "../../../Poker/.installed";
    QTest::newRow("name neither UTF-8 nor CP949") << QByteArray("\xff\xfe.txt") << "../../../x";
    QTest::newRow("control character") << QByteArray("a\x01"
                                                     "b.txt")
                                       << "../../../x";
    QTest::newRow("DEL character") << QByteArray("a\x7f"
                                                 "b.txt")
                                   << "../../../x";
}

void TestPackageInstaller::unsafeEntry() {
    QFETCH(QByteArray, name);
    QFETCH(QString, escapedPath);
    QVERIFY(!QFile::exists(escapedPath));
    const QStringList before = treeOutsideGame();
    QVERIFY(testsupport::makeZip(package(),
                                 {{"ok.txt", "fine"}, {name, "escaped"}, {"later.txt", "x"}}));
    const QByteArray archive = read(package());

    QVERIFY(!install());
    QVERIFY(!QFile::exists(escapedPath));
    QCOMPARE(treeOutsideGame(), before);
    // The package is refused whole: nothing of it is unpacked, and it stays.
    QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"Poker.zip"}));
    QCOMPARE(read(package()), archive);
}

void TestPackageInstaller::safeNames_data() {
    testsupport::addRows<QByteArray, bool>(
        "name", "safe",
        {{"plain", QByteArray("game.exe"), true},
         {"folder", QByteArray("bin/"), true},
         {"nested", QByteArray("a/b/c.txt"), true},
         {"dots in names", QByteArray("a..b/..."), true},
         {"dot component", QByteArray("./a/./b"), true},
         {"parent", QByteArray(".."), false},
         {"parent folder", QByteArray("../"), false},
         {"trailing parent", QByteArray("a/.."), false},
         {"backslash parent", QByteArray("a\\..\\..\\b"), false},
         {"absolute", QByteArray("/etc/passwd"), false},
         {"absolute backslash", QByteArray("\\windows\\x"), false},
         {"drive", QByteArray("c:x"), false},
         {"empty", QByteArray(), false},
         {"embedded nul", QByteArray("a\0/../../x", 10), false}});
}

namespace {
QByteArray cp949(const char* text) {
    return QTextCodec::codecForName("CP949")->fromUnicode(QString::fromUtf8(text));
}
} // namespace

void TestPackageInstaller::windowsNames_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("utf8Flag");
    QTest::addColumn<QString>("expected"); // path below the game folder; empty: refused
    const QString korean = QString::fromUtf8("데이터/한글 설명.txt");
    QTest::newRow("CP949, no flag (zipped on Windows)")
        << cp949("데이터/한글 설명.txt") << false << korean;
    QTest::newRow("UTF-8 with the flag") << korean.toUtf8() << true << korean;
    QTest::newRow("UTF-8 without the flag") << korean.toUtf8() << false << korean;
    QTest::newRow("CP949 under the UTF-8 flag")
        << cp949("데이터/한글 설명.txt") << true << QString();
    QTest::newRow("backslash separators") << QByteArray("bin\\game.exe") << false << "bin/game.exe";
    QTest::newRow("CP949 with backslashes")
        << cp949("게임\\실행.exe") << false << QString::fromUtf8("게임/실행.exe");
}

void TestPackageInstaller::windowsNames() {
    QFETCH(QByteArray, name);
    QFETCH(bool, utf8Flag);
    QFETCH(QString, expected);
    ZipEntry entry{name, "content"};
    entry.utf8Flag = utf8Flag;
    QVERIFY(testsupport::makeZip(package(), {entry, {"plain.txt", "plain"}}));
    if (expected.isEmpty()) {
        QVERIFY(!install());
        QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"Poker.zip"}));
        return;
    }
    QVERIFY(install());
    QCOMPARE(read(game(expected)), QByteArray("content"));
    QCOMPARE(read(game("plain.txt")), QByteArray("plain"));
}

void TestPackageInstaller::diskTooSmall_data() {
    // "megabytes" of zeros in the package's two big entries, on a 96 MiB disk: 64 MiB must
    // stay free beyond what the entries declare.
    testsupport::addRows<int, bool>("megabytes", "fits",
                                    {{"fits with room to spare", 8, true},
                                     {"would leave less than 64 MiB", 40, false},
                                     {"larger than the disk", 200, false}});
}

void TestPackageInstaller::diskTooSmall() {
    QFETCH(int, megabytes);
    QFETCH(bool, fits);
    // A real small disk: a tmpfs mounted over the game folder (needs root).
    QProcess mount;
    mount.start("mount", {"-t", "tmpfs", "-o", "size=96m", "tmpfs", game()});
    if (!mount.waitForFinished(10000) || mount.exitCode() != 0) {
        QSKIP("cannot mount a small disk here (mount needs root)");
    }
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute("umount", {path}); }
    } unmount{game()};

    const QString plain = tree->root() + "/big.zip";
    // Split in two around a small entry: every entry counts, not just the first or the last.
    const QByteArray half(megabytes * 512 * 1024, '\0');
    QVERIFY(testsupport::makeZip(plain,
                                 {{"big1.bin", half}, {"small.txt", "small"}, {"big2.bin", half}}));
    QVERIFY(QFile::copy(plain, package()));
    QCOMPARE(install(), fits);
    if (fits) {
        QCOMPARE(QFileInfo(game("big2.bin")).size() * 2, qint64(megabytes) * 1024 * 1024);
        QVERIFY(!QFile::exists(package()));
    } else {
        // Refused before a single entry was written.
        QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"Poker.zip"}));
    }
}

void TestPackageInstaller::safeNames() {
    QFETCH(QByteArray, name);
    QFETCH(bool, safe);
    QCOMPARE(PackageInstaller::isSafeEntryName(name.toStdString()), safe);
}

void TestPackageInstaller::longNames() {
    // Well past the 100 bytes a fixed name buffer would hold, in folders and in one name.
    QByteArray deep;
    for (int i = 0; i < 8; ++i) {
        deep += QByteArray(40, char('a' + i)) + '/';
    }
    deep += "file.txt";
    const QByteArray longName = QByteArray(200, 'n') + ".dat";
    QVERIFY(testsupport::makeZip(package(), {{deep, "deep"}, {longName, "long"}}));
    QVERIFY(install());
    QCOMPARE(read(game(QString::fromLatin1(deep))), QByteArray("deep"));
    QCOMPARE(read(game(QString::fromLatin1(longName))), QByteArray("long"));
    QVERIFY(!QFile::exists(package()));
}

void TestPackageInstaller::executeBits_data() {
    testsupport::addRows<int, bool>("mode", "executable",
                                    {{"unix program 0755", 0100755, true},
                                     {"unix owner only 0700", 0100700, true},
                                     {"unix data 0644", 0100644, false},
                                     {"made on FAT", -1, false}});
}

void TestPackageInstaller::executeBits() {
#ifndef Q_OS_LINUX
    QSKIP("execute permissions are a Unix matter");
#endif
    QFETCH(int, mode);
    QFETCH(bool, executable);
    ZipEntry entry{"bin/run.sh", "#!/bin/sh\necho started\n"};
    entry.unixMode = mode;
    QVERIFY(testsupport::makeZip(package(), {entry}));
    QVERIFY(install());
    const QFileInfo info(game("bin/run.sh"));
    QVERIFY(info.isFile());
    QCOMPARE(info.isExecutable(), executable);
    QCOMPARE(bool(info.permissions() & QFileDevice::ExeOwner), executable);
    QVERIFY(info.permissions() & QFileDevice::ReadOwner);
    if (executable) {
        // The unpacked script really runs.
        QByteArray out;
        QCOMPARE(testsupport::runProgram(info.absoluteFilePath(), {}, &out), 0);
        QCOMPARE(out, QByteArray("started\n"));
    }
}

void TestPackageInstaller::overwritesAndKeeps() {
    QFile existing(game("game.exe"));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old program, longer than the new one");
    existing.close();
    QFile other(game("save.dat"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("player's save");
    other.close();

    // The file it replaces keeps its permissions; a copy left by a cut-off run is no obstacle.
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    QVERIFY(QFile::setPermissions(game("game.exe"), ownerOnly));
    QFile stale(game("game.exe.~new"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("half of an earlier run's copy");
    stale.close();

    QVERIFY(testsupport::makeZip(package(), {{"game.exe", "new"}}));
    QVERIFY(install());
    QCOMPARE(read(game("game.exe")), QByteArray("new"));
    QCOMPARE(read(game("save.dat")), QByteArray("player's save"));
    QCOMPARE(QFile::permissions(game("game.exe")) & 0x7077, ownerOnly); // owner, group, others
    QCOMPARE(QDir(game()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"game.exe", "save.dat"}));
}

void TestPackageInstaller::missingPackage() {
    // Loose files only: there is nothing to unpack, which is not a failure.
    QVERIFY(install());
    QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestPackageInstaller::notAZip() {
    QFile out(package());
    QVERIFY(out.open(QIODevice::WriteOnly));
    const QByteArray junk = testsupport::randomBytes(5000);
    out.write(junk);
    out.close();
    QVERIFY(!install());
    QCOMPARE(read(package()), junk);
}

void TestPackageInstaller::blockLinesQuietByDefault_data() {
    testsupport::LogCapture::addDebugRows("launcher.install", "logged");
}

// A line for every block written would flood the log of a large game: asked for only.
void TestPackageInstaller::blockLinesQuietByDefault() {
    QFETCH(QString, rules);
    QFETCH(bool, logged);
    const QByteArray data = testsupport::randomBytes(1000000);
    QVERIFY(testsupport::makeZip(package(), {{"big.dat", data}}));
    const testsupport::LogCapture log(rules);
    QVERIFY(install());
    QCOMPARE(read(game("big.dat")), data);
    const QStringList blocks = log.lines().filter("bytes written");
    QCOMPARE(blocks.isEmpty(), !logged);
    for (const QString& line : blocks) {
        QVERIFY2(line.startsWith("launcher.install: "), qPrintable(line));
    }
}

void TestPackageInstaller::syncFolder_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("synced");
    QTest::newRow("game folder") << "Poker" << true;
#ifdef Q_OS_LINUX
    QTest::newRow("no such folder") << "Matgo" << false;
#endif
}

void TestPackageInstaller::syncFolder() {
    QFETCH(QString, folder);
    QFETCH(bool, synced);
    QCOMPARE(PackageInstaller::syncFolder(tree->root() + "/" + folder), synced);
}

QTEST_GUILESS_MAIN(TestPackageInstaller)
#include "TestPackageInstaller.moc"
