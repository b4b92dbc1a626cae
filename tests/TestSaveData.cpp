#include <algorithm>
#include <csignal>
#include <ctime>
#include <memory>

#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include "DataRows.h"
#include "TestSupport.h"
#include "archive/Seed.h"
#include "utility/SaveData.h"

// The saved login data against files made and read by OpenSSL and the resource tool: the exact
// bytes written, what loading damaged or foreign files gives, and that a save which cannot be
// completed keeps the previous file.
class TestSaveData : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void savedBytes_data();
    void savedBytes();
    void paddedLength_data();
    void paddedLength();
    void nonAsciiRoundTrip();
    void isSaveTwoSavesAsOne();
    void rememberOffForgetsUsers();
    void getVersion();
    void loadStates_data();
    void loadStates();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void fileMode_data();
    void fileMode();
    void killedWhileSaving();

private:
    QString resourceDir() const { return tmp->filePath("resource"); }
    QString appDat() const { return tmp->filePath("resource/app.dat"); }

    std::unique_ptr<QTemporaryDir> tmp;
    QString previousDir;
};

namespace {

using Pairs = QMap<QString, QString>;

// Saved data of its own for every case; the program's instance is left alone.
class Saved : public utility::SaveData {};

const char kDone[] = "^Reached end, done$";
const char kAnyXmlError[] = "^XML error: ";
const QStringList kGameKeys{"pokerVer", "matgoVer", "hongsipVer", "majakVer"};

QByteArray resourceKey() {
    return QByteArray(reinterpret_cast<const char*>(kResourceKey), 16);
}

QByteArray zeroPadded(const QByteArray& text) {
    return text + QByteArray((16 - text.size() % 16) % 16, '\0');
}

// Encrypted by OpenSSL, not by the code under test.
QByteArray sealed(const QByteArray& text, const QByteArray& key = resourceKey()) {
    return testsupport::opensslSeed(zeroPadded(text), key, true);
}

QByteArray opened(const QByteArray& file) {
    return testsupport::opensslSeed(file, resourceKey(), false);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// The saved XML text as the launcher lays it out, for plain ASCII values only (no escaping).
QByteArray savedText(bool isSave, const Pairs& users, const Pairs& versions) {
    QByteArray text = "<?xml version=\"1.0\"?>\n<root isSave=\"";
    text += isSave ? "1" : "0";
    if ((!isSave || users.isEmpty()) && versions.isEmpty()) {
        return text + "\"/>\n";
    }
    text += "\">\n";
    for (auto it = users.cbegin(); isSave && it != users.cend(); ++it) {
        text += "    <userInfo id=\"" + it.key().toLatin1() + "\" pass=\"" + it.value().toLatin1() +
                "\"/>\n";
    }
    for (auto it = versions.cbegin(); it != versions.cend(); ++it) {
        text += "    <verInfo name=\"" + it.key().toLatin1() + "\" ver=\"" + it.value().toLatin1() +
                "\"/>\n";
    }
    return text + "</root>\n";
}

void fill(utility::SaveData& data, bool isSave, const Pairs& users, const Pairs& versions) {
    data.setIsSave(isSave);
    // Users are added after the switch, so a switched-off instance can hold some too.
    for (auto it = users.cbegin(); it != users.cend(); ++it) {
        data.setUser(it.key(), it.value());
    }
    for (auto it = versions.cbegin(); it != versions.cend(); ++it) {
        data.setVersion(it.key(), it.value());
    }
}

} // namespace

// The saved file lands in "<tmp>/resource/app.dat", two levels above the working directory, as
// "../../resource/app.dat" does for the launcher in bin/release.
void TestSaveData::init() {
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
    QVERIFY(QDir(tmp->path()).mkpath("resource"));
    QVERIFY(QDir(tmp->path()).mkpath("bin/release"));
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp->filePath("bin/release")));
}

void TestSaveData::cleanup() {
    QDir::setCurrent(previousDir);
    tmp.reset();
}

void TestSaveData::savedBytes_data() {
    QTest::addColumn<bool>("isSave");
    QTest::addColumn<Pairs>("users");
    QTest::addColumn<Pairs>("versions");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("remembering") << true
                                 << Pairs{{"alice", "pw-lower"},
                                          {"bob", "b0b"},
                                          {"Alice", "pw-upper"}}
                                 << Pairs{{"pokerVer", "1.2.3"},
                                          {"majakVer", "0.9"},
                                          {"matgoVer", "2.0"},
                                          {"hongsipVer", "1.0"}}
                                 << QByteArray("<?xml version=\"1.0\"?>\n"
                                               "<root isSave=\"1\">\n"
                                               "    <userInfo id=\"Alice\" pass=\"pw-upper\"/>\n"
                                               "    <userInfo id=\"alice\" pass=\"pw-lower\"/>\n"
                                               "    <userInfo id=\"bob\" pass=\"b0b\"/>\n"
                                               "    <verInfo name=\"hongsipVer\" ver=\"1.0\"/>\n"
                                               "    <verInfo name=\"majakVer\" ver=\"0.9\"/>\n"
                                               "    <verInfo name=\"matgoVer\" ver=\"2.0\"/>\n"
                                               "    <verInfo name=\"pokerVer\" ver=\"1.2.3\"/>\n"
                                               "</root>\n");
    QTest::newRow("not remembering, users held")
        << false << Pairs{{"alice", "secret"}} << Pairs{{"pokerVer", "1.0"}}
        << QByteArray("<?xml version=\"1.0\"?>\n"
                      "<root isSave=\"0\">\n"
                      "    <verInfo name=\"pokerVer\" ver=\"1.0\"/>\n"
                      "</root>\n");
    QTest::newRow("remembering, nobody yet")
        << true << Pairs{} << Pairs{}
        << QByteArray("<?xml version=\"1.0\"?>\n<root isSave=\"1\"/>\n");
    QTest::newRow("fresh") << false << Pairs{} << Pairs{}
                           << QByteArray("<?xml version=\"1.0\"?>\n<root isSave=\"0\"/>\n");
}

// Other tools with the same key read the file byte for byte: OpenSSL finds the text followed by
// zero padding, and the resource tool shows the text.
void TestSaveData::savedBytes() {
    QFETCH(bool, isSave);
    QFETCH(Pairs, users);
    QFETCH(Pairs, versions);
    QFETCH(QByteArray, expected);
    Saved data;
    fill(data, isSave, users, versions);
    QVERIFY2(data.save(), qPrintable(data.errorString()));

    const QByteArray file = readFile(appDat());
    QCOMPARE(file.size() % 16, 0);
    QCOMPARE(opened(file), zeroPadded(expected));
    // Nothing but the file itself is left in the folder.
    QCOMPARE(QDir(resourceDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"app.dat"});

    QByteArray shown;
    QCOMPARE(testsupport::runProgram(testsupport::restoolPath(), {"save-show", appDat()}, &shown),
             0);
    QCOMPARE(shown, expected);
}

void TestSaveData::paddedLength_data() {
    testsupport::addRows<int, int>("textLength", "fileLength",
                                   {{"160 stays", 160, 160},
                                    {"161 to 176", 161, 176},
                                    {"175 to 176", 175, 176},
                                    {"176 stays", 176, 176}});
}

void TestSaveData::paddedLength() {
    QFETCH(int, textLength);
    QFETCH(int, fileLength);
    // One version whose text sets the document's length.
    const int overhead = savedText(false, {}, {{"pokerVer", ""}}).size();
    const Pairs versions{{"pokerVer", QString(textLength - overhead, '7')}};
    const QByteArray expected = savedText(false, {}, versions);
    QCOMPARE(expected.size(), textLength);

    Saved data;
    fill(data, false, {}, versions);
    QVERIFY(data.save());
    const QByteArray file = readFile(appDat());
    QCOMPARE(file.size(), fileLength);
    QCOMPARE(opened(file), zeroPadded(expected));
}

void TestSaveData::nonAsciiRoundTrip() {
    const Pairs users{{QString::fromUtf8("홍길동"), QString::fromUtf8("비밀번호")},
                      {QString::fromUtf8("Zoë"), QString::fromUtf8("pässwörd")},
                      {QString::fromUtf8("🎲player"), QString::fromUtf8("🂡 ace")},
                      {"q\"a&l<g>'", "tab\there\nline\r end "},
                      {"  spaced  ", "  "},
                      {"", ""}};
    const Pairs versions{{"pokerVer", QString::fromUtf8("1.0-ß")}, {"matgoVer", "3.1"}};
    Saved written;
    fill(written, true, users, versions);
    QVERIFY(written.save());
    // The password is inside the file only in encrypted form.
    QVERIFY(!readFile(appDat()).contains(QString::fromUtf8("비밀번호").toUtf8()));

    Saved read;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(kDone));
    QVERIFY(read.load());
    QVERIFY(read.isSave());
    QCOMPARE(read.users(), users);
    QCOMPARE(read.versions(), versions);
}

void TestSaveData::isSaveTwoSavesAsOne() {
    QVERIFY(writeFile(appDat(), sealed("<?xml version=\"1.0\"?>\n<root isSave=\"2\">\n"
                                       "    <userInfo id=\"a\" pass=\"b\"/>\n</root>\n")));
    Saved data;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(kDone));
    QVERIFY(data.load());
    QVERIFY(data.isSave());
    QVERIFY(data.save());
    QCOMPARE(opened(readFile(appDat())), zeroPadded(savedText(true, {{"a", "b"}}, {})));
}

void TestSaveData::rememberOffForgetsUsers() {
    Saved data;
    fill(data, true, {{"a", "1"}, {"b", "2"}}, {{"pokerVer", "1.0"}});
    data.setIsSave(false);
    QVERIFY(data.users().isEmpty());
    data.setIsSave(true);
    QVERIFY(data.users().isEmpty());
    QVERIFY(data.save());
    QCOMPARE(opened(readFile(appDat())), zeroPadded(savedText(true, {}, {{"pokerVer", "1.0"}})));
}

void TestSaveData::getVersion() {
    Saved data;
    for (const QString& key : kGameKeys) {
        QCOMPARE(data.getVersion(key), QString("0.0"));
    }
    data.setVersion("pokerVer", "1.2");
    data.setVersion("pokerVer", "1.3");
    QCOMPARE(data.getVersion("pokerVer"), QString("1.3"));
    // Keys match exactly.
    QCOMPARE(data.getVersion("PokerVer"), QString("0.0"));
    QCOMPARE(data.getVersion("pokerVer "), QString("0.0"));
    QCOMPARE(data.getVersion("matgoVer"), QString("0.0"));
}

void TestSaveData::loadStates_data() {
    QTest::addColumn<QString>("setup"); // "file", "missing" or "folder"
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<bool>("isSave");
    QTest::addColumn<Pairs>("users");
    QTest::addColumn<Pairs>("versions");
    QTest::addColumn<QString>("log");

    const Pairs users{{"first", "1"}, {"second", "2"}};
    const Pairs versions{{"matgoVer", "2.0"}, {"pokerVer", "1.0"}};
    const QByteArray full = savedText(true, users, versions);

    QTest::newRow("missing") << "missing" << QByteArray() << false << false << Pairs{} << Pairs{}
                             << "";
    QTest::newRow("folder in its place")
        << "folder" << QByteArray() << false << false << Pairs{} << Pairs{} << "";
    QTest::newRow("empty") << "file" << QByteArray() << false << false << Pairs{} << Pairs{} << "";
    QTest::newRow("zero-led") << "file" << sealed(QByteArray(16, '\0') + full) << false << false
                              << Pairs{} << Pairs{} << "";
    QTest::newRow("other key") << "file"
                               << sealed(full,
                                         QByteArray::fromHex("00112233445566778899aabbccddeeff"))
                               << true << false << Pairs{} << Pairs{} << kAnyXmlError;
    QTest::newRow("not encrypted")
        << "file" << full << true << false << Pairs{} << Pairs{} << kAnyXmlError;
    QTest::newRow("complete") << "file" << sealed(full) << true << true << users << versions
                              << kDone;

    // Cut at the first block boundary after the first user: the blocks before decrypt, and the
    // first user is read before the text breaks off.
    const int firstUserEnd = full.indexOf("/>") + 2;
    const int cut = (firstUserEnd + 15) / 16 * 16;
    QTest::newRow("truncated at a block boundary")
        << "file" << sealed(full).left(cut) << true << true << Pairs{{"first", "1"}} << Pairs{}
        << kAnyXmlError;

    // The text is laid out so that its last block holds "</root>\n" and padding; one byte less
    // leaves that block undecrypted, and everything before it is read.
    Pairs padded = versions;
    while (savedText(true, users, padded).size() % 16 != 8) {
        padded["pokerVer"] += "0";
    }
    QTest::newRow("truncated inside the last block")
        << "file" << sealed(savedText(true, users, padded)).chopped(1) << true << true << users
        << padded << kAnyXmlError;
    QTest::newRow("bytes after the padding") << "file" << sealed(full) + "\x01\x02\x03\x04\x05"
                                             << true << true << users << versions << kDone;

    QTest::newRow("isSave 2") << "file" << sealed("<?xml version=\"1.0\"?><root isSave=\"2\"/>")
                              << true << true << Pairs{} << Pairs{} << kDone;
    QTest::newRow("isSave not a number")
        << "file" << sealed("<root isSave=\"yes\"><userInfo id=\"a\" pass=\"b\"/></root>") << true
        << false << Pairs{{"a", "b"}} << Pairs{} << kDone;
    QTest::newRow("isSave absent")
        << "file" << sealed("<root><verInfo name=\"pokerVer\" ver=\"1.1\"/></root>") << true
        << false << Pairs{} << Pairs{{"pokerVer", "1.1"}} << kDone;
    QTest::newRow("elements at any depth, others ignored")
        << "file"
        << sealed("<root isSave=\"1\"><group><userInfo id=\"a\" pass=\"b\" extra=\"x\"/></group>"
                  "<other><deeper><verInfo name=\"majakVer\" ver=\"4.0\"/></deeper></other>"
                  "<UserInfo id=\"c\" pass=\"d\"/></root>")
        << true << true << Pairs{{"a", "b"}} << Pairs{{"majakVer", "4.0"}} << kDone;
    QTest::newRow("attributes absent")
        << "file" << sealed("<root isSave=\"1\"><userInfo/><verInfo ver=\"1\"/></root>") << true
        << true << Pairs{{"", ""}} << Pairs{{"", "1"}} << kDone;
    QTest::newRow("later entry wins")
        << "file"
        << sealed("<root isSave=\"1\"><userInfo id=\"a\" pass=\"old\"/>"
                  "<userInfo id=\"a\" pass=\"new\"/></root>")
        << true << true << Pairs{{"a", "new"}} << Pairs{} << kDone;
    QTest::newRow("error after entries")
        << "file"
        << sealed("<root isSave=\"1\"><verInfo name=\"pokerVer\" ver=\"1.0\"/><verInfo name=")
        << true << true << Pairs{} << Pairs{{"pokerVer", "1.0"}} << kAnyXmlError;
    QTest::newRow("entity bomb") << "file"
                                 << sealed("<!DOCTYPE root [<!ENTITY big \"" +
                                           QByteArray(4000, 'p') +
                                           "\">]><root isSave=\"1\"><userInfo id=\"a\" pass=\"" +
                                           QByteArray("&big;").repeated(50000) + "\"/></root>")
                                 << true << false << Pairs{} << Pairs{}
                                 << "^XML error: Entity declarations could expand";
}

// No file makes load crash; each gives the state its kind of damage allows, and the four games
// read "0.0" unless a version was found.
void TestSaveData::loadStates() {
    QFETCH(QString, setup);
    QFETCH(QByteArray, file);
    QFETCH(bool, loaded);
    QFETCH(bool, isSave);
    QFETCH(Pairs, users);
    QFETCH(Pairs, versions);
    QFETCH(QString, log);
    if (setup == "file") {
        QVERIFY(writeFile(appDat(), file));
    } else if (setup == "folder") {
        QVERIFY(QDir(resourceDir()).mkdir("app.dat"));
    }
    if (!log.isEmpty()) {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(log));
    }
    Saved data;
    QCOMPARE(data.load(), loaded);
    if (!loaded) {
        QVERIFY(!data.errorString().isEmpty());
    }
    QCOMPARE(data.isSave(), isSave);
    QCOMPARE(data.users(), users);
    QCOMPARE(data.versions(), versions);
    for (const QString& key : kGameKeys) {
        QCOMPARE(data.getVersion(key), versions.value(key, "0.0"));
    }
}

void TestSaveData::failedSaveKeepsOldFile_data() {
    testsupport::addRows<QString>("fault",
                                  {{"folder not writable", "folder not writable"},
                                   {"write cut short", "write cut short"},
                                   {"in place, disk full while growing", "in place, full"},
                                   {"resource folder is a file", "resource folder is a file"},
                                   {"app.dat is a folder", "app.dat is a folder"}});
}

// Each fault stops a different step of the save (creating the new file, writing it, reaching
// the folder, replacing the target); every one is reported, and what was there before stays.
void TestSaveData::failedSaveKeepsOldFile() {
    QFETCH(QString, fault);
    Saved data;
    fill(data, true, {{"player", "old-password"}}, {{"pokerVer", "1.0"}});
    const bool oldFileExpected =
        fault != "resource folder is a file" && fault != "app.dat is a folder";
    QByteArray old;
    if (oldFileExpected) {
        QVERIFY(data.save());
        old = readFile(appDat());
        QVERIFY(old.size() > 64);
    }
    data.setUser("player", "new-password");
    data.setVersion("pokerVer", "2." + QString(300, '9'));

    bool saved = true;
    if (fault == "folder not writable" || fault == "in place, full") {
        // Permission bits do not stop root, which runs these tests: the save is made with the
        // effective user id of nobody, as an ordinary player would run the launcher, against
        // a resource folder without write permission. The rest of the path stays traversable
        // (still in root's group: the group's bits count).
        for (const QString& dir :
             {tmp->path(), tmp->filePath("bin"), tmp->filePath("bin/release")}) {
            QVERIFY(QFile::setPermissions(dir, QFile::permissions(dir) | QFile::ExeGroup |
                                                   QFile::ExeOther | QFile::ReadOther));
        }
        const QFile::Permissions before = QFile::permissions(resourceDir());
        QVERIFY(QFile::setPermissions(resourceDir(), QFile::ReadOwner | QFile::ExeOwner |
                                                         QFile::ReadGroup | QFile::ExeGroup |
                                                         QFile::ReadOther | QFile::ExeOther));
        const uid_t euid = geteuid();
        const auto restore = qScopeGuard([&] {
            if (euid == 0 && seteuid(0) != 0) {
                qFatal("cannot return to the effective user id of root");
            }
            QFile::setPermissions(resourceDir(), before);
        });
        QVERIFY(fault != "in place, full" ||
                QFile::setPermissions(appDat(), QFileDevice::Permissions(0x6666)));
        if (euid == 0) {
            QCOMPARE(seteuid(65534), 0);
        }
        // app.dat itself open to the player: written in place, and the disk full before
        // the longer document fits.
        rlimit previous{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (fault == "in place, full") {
            rlimit small = previous;
            small.rlim_cur = rlim_t(old.size() + 16);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        saved = data.save();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &previous), 0);
        std::signal(SIGXFSZ, previousHandler);
    } else if (fault == "write cut short") {
        // A file size limit makes the write fail part-way, as a full disk would; it holds for
        // root too. The signal it raises is ignored so that write() reports the error instead.
        rlimit previous{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = previous;
        small.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        saved = data.save();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &previous), 0);
        std::signal(SIGXFSZ, previousHandler);
    } else if (fault == "resource folder is a file") {
        QVERIFY(QDir(resourceDir()).removeRecursively());
        QVERIFY(writeFile(resourceDir(), "not a folder"));
        saved = data.save();
        QCOMPARE(readFile(resourceDir()), QByteArray("not a folder"));
    } else if (fault == "app.dat is a folder") {
        QVERIFY(QDir(resourceDir()).mkdir("app.dat"));
        saved = data.save();
        QVERIFY(QFileInfo(appDat()).isDir());
        QVERIFY(QDir(appDat()).isEmpty());
    }

    QVERIFY(!saved);
    QVERIFY(!data.errorString().isEmpty());
    if (oldFileExpected) {
        QCOMPARE(readFile(appDat()), old);
        // No half-written file is left beside it.
        QCOMPARE(QDir(resourceDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"app.dat"});
        // Once the fault is gone the same save goes through.
        QVERIFY(data.save());
        QCOMPARE(opened(readFile(appDat())),
                 zeroPadded(savedText(true, {{"player", "new-password"}},
                                      {{"pokerVer", "2." + QString(300, '9')}})));
    }
}

void TestSaveData::fileMode_data() {
    QTest::addColumn<int>("existing"); // mode of the file before the save, -1 for none
    QTest::addColumn<bool>("folderLocked");
    QTest::addColumn<bool>("remember"); // a password is saved
    QTest::addColumn<int>("mode");
    QTest::newRow("new file is the owner's alone") << -1 << false << true << 0600;
    QTest::newRow("readable by others, now with a password: narrowed")
        << 0644 << false << true << 0600;
    QTest::newRow("no password: keeps its mode") << 0640 << false << false << 0640;
    QTest::newRow("locked folder, writable file: written in place") << 0666 << true << true << 0666;
}

// The file holds passwords; and a resource folder the player may not write to does not cost
// the save when app.dat itself is theirs to write.
void TestSaveData::fileMode() {
    QFETCH(int, existing);
    QFETCH(bool, folderLocked);
    QFETCH(bool, remember);
    QFETCH(int, mode);
    if (existing >= 0) {
        // Longer than the new document: none of it may outlive the save, written in place too.
        QVERIFY(writeFile(appDat(), sealed("<root isSave=\"1\"><userInfo id=\"old\" pass=\"" +
                                           QByteArray(200, 'p') + "\"/></root>")));
        QCOMPARE(::chmod(QFile::encodeName(appDat()).constData(), mode_t(existing)), 0);
    }
    Saved data;
    fill(data, remember, {{"player", "pw"}}, {{"pokerVer", "1.5"}});
    bool saved = false;
    if (folderLocked) {
        // As nobody, like the existing case of a folder without write permission.
        // Still in root's group: the group's bits count for the way down.
        for (const QString& dir :
             {tmp->path(), tmp->filePath("bin"), tmp->filePath("bin/release")}) {
            QVERIFY(QFile::setPermissions(dir, QFile::permissions(dir) | QFile::ExeGroup |
                                                   QFile::ExeOther));
        }
        QCOMPARE(::chmod(QFile::encodeName(resourceDir()).constData(), 0555), 0);
        const uid_t euid = geteuid();
        const auto restore = qScopeGuard([&] {
            if (euid == 0 && seteuid(0) != 0) {
                qFatal("cannot return to the effective user id of root");
            }
            ::chmod(QFile::encodeName(resourceDir()).constData(), 0755);
        });
        if (euid == 0) {
            QCOMPARE(seteuid(65534), 0);
        }
        saved = data.save();
    } else {
        saved = data.save();
    }
    QVERIFY2(saved, qPrintable(data.errorString()));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(appDat()).constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 07777), mode);
    QCOMPARE(opened(readFile(appDat())),
             zeroPadded(savedText(remember, {{"player", "pw"}}, {{"pokerVer", "1.5"}})));
    QCOMPARE(QDir(resourceDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"app.dat"});
}

// A launcher killed outright (SIGKILL, a crash, the session ending) at any moment of a save. A
// copy of this process times a few saves itself, arms a timer of its own that kills it after a
// random share (-0.2 to 1.6) of that time, and saves one document over the other; it
// reports on a pipe as the save starts and ends. No other process has to wake up in time, so
// the kills land before, during and after the save on a fast machine as on a slow one, and the
// loop checks that they did. app.dat must read back as one whole document every time: the old
// one until the save began, the new one once it ended.
void TestSaveData::killedWhileSaving() {
    const Pairs firstUsers{{"player", "first"}}, firstVersions{{"pokerVer", "1.0"}};
    const Pairs secondUsers{{"player", "second"}},
        secondVersions{{"pokerVer", "2." + QString(300, '9')}};
    Saved first, second;
    fill(first, true, firstUsers, firstVersions);
    fill(second, true, secondUsers, secondVersions);
    const QByteArray firstText = zeroPadded(savedText(true, firstUsers, firstVersions));
    const QByteArray secondText = zeroPadded(savedText(true, secondUsers, secondVersions));
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);

    QMap<QByteArray, int> landed; // "" before the save, "s" during it, "se" after it
    for (int kill = 0; kill < 100; ++kill) {
        const double share = random.bounded(1.8) - 0.2;
        // The longer document over the shorter one, or the other way round.
        const bool growing = random.bounded(2) == 0;
        Saved& before = growing ? first : second;
        Saved& after = growing ? second : first;
        const QByteArray& oldText = growing ? firstText : secondText;
        const QByteArray& newText = growing ? secondText : firstText;
        int progress[2];
        QCOMPARE(pipe(progress), 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(progress[0]);
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < 5; ++i) {
                before.save();
            }
            const long long delay = std::max<long long>(1, clock.nsecsElapsed() / 5 * share);
            sigevent event{};
            event.sigev_notify = SIGEV_SIGNAL;
            event.sigev_signo = SIGKILL;
            itimerspec when{};
            when.it_value.tv_sec = delay / 1000000000;
            when.it_value.tv_nsec = delay % 1000000000;
            timer_t timer;
            if (timer_create(CLOCK_MONOTONIC, &event, &timer) != 0 ||
                timer_settime(timer, 0, &when, nullptr) != 0) {
                _exit(2);
            }
            const bool reported =
                write(progress[1], "s", 1) == 1 && after.save() && write(progress[1], "e", 1) == 1;
            for (;;) {
                pause();
                _exit(reported ? 3 : 4); // only reached when the timer failed to kill
            }
        }
        ::close(progress[1]);
        // The pipe ends when the child does; a child still alive after 10 s fails the test.
        QByteArray report;
        char byte = 0;
        pollfd wait{progress[0], POLLIN, 0};
        int ready = 0;
        while ((ready = poll(&wait, 1, 10000)) == 1 && read(progress[0], &byte, 1) == 1) {
            report += byte;
        }
        ::close(progress[0]);
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(ready == 1, "the saving child lived on");
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, qPrintable(report));

        const QByteArray text = opened(readFile(appDat()));
        const QString where = QString("kill %1 (seed %2) after \"%3\" left: %4")
                                  .arg(kill)
                                  .arg(seed)
                                  .arg(QString::fromLatin1(report))
                                  .arg(QString::fromLatin1(text.left(200).toHex()));
        QVERIFY2(text == (report == "se" ? newText : oldText) || (report == "s" && text == newText),
                 qPrintable(where));
        Saved loaded;
        QVERIFY(loaded.load());
        QCOMPARE(loaded.users().value("player"), QString(text == firstText ? "first" : "second"));
        landed[report] += 1;
    }
    const QString counts = QString("%1 before, %2 during, %3 after the save (seed %4)")
                               .arg(landed[""])
                               .arg(landed["s"])
                               .arg(landed["se"])
                               .arg(seed);
    QVERIFY2(landed[""] > 0 && landed["s"] > 0 && landed["se"] > 0, qPrintable(counts));
    qInfo("%s; app.dat whole each time, %d files left beside it", qPrintable(counts),
          int(QDir(resourceDir()).entryList(QDir::Files | QDir::Hidden).size()) - 1);
}

QTEST_GUILESS_MAIN(TestSaveData)
#include "TestSaveData.moc"
