#include <QtTest>

#include <memory>

#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextCodec>

#include <cstdio>

#include "DataRows.h"
#include "FtpServerFixture.h"
#include "LogCapture.h"
#include "RunTreeFixture.h"
#include "TestSupport.h"
#include "ZipMaker.h"
#include "update/CurlLibrary.h"
#include "update/FtpConnection.h"
#include "update/FtpThread.h"
#include "update/InstallRecord.h"
#include "utility/XmlServerParser.h"

using testsupport::FtpServerFixture;

namespace {

QStringList childNames(const FtpNode* node) {
    QStringList names;
    for (const auto& child : node->children) {
        names << QString::fromStdString(child->name);
    }
    return names;
}

const FtpNode* child(const FtpNode* node, const char* name) {
    for (const auto& c : node->children) {
        if (c->name == name) {
            return c.get();
        }
    }
    return nullptr;
}

} // namespace

// The update worker against a real FTP server on loopback (pyftpdlib). The worker writes
// "../../../Poker" relative to the working folder, so every test works in a temporary
// tree "<tmp>/Launcher/bin/release" with the game in "<tmp>/Poker".
class TestFtpThread : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void packageOnly();
    void unopenedConnection_data();
    void unopenedConnection();
    void filesStoredByteForByte();
    void filteringAndDepthFirst();
    void dotFolderTakenForFile();
    void windowsServer_data();
    void windowsServer();
    void refusedListings_data();
    void refusedListings();
    void resume_data();
    void resume();
    void leftovers_data();
    void leftovers();
    void zeroLengthFile();
    void sameNameTwice();
    void refusedNames_data();
    void refusedNames();
    void lyingSizes_data();
    void lyingSizes();
    void nothingFound_data();
    void nothingFound();
    void missingListedFile_data();
    void missingListedFile();
    void failedSubListing();
    void unwritableLocalFile();
    void failedInstallKeepsPackage();
    void repair_data();
    void repair();
    void serverKilledMidTransfer_data();
    void serverKilledMidTransfer();
    void serverStalls_data();
    void serverStalls();
    void stopRequested();
    void passwordNeverLogged();
    void withoutLibcurl();

private:
    void setFtpUrl(const QByteArray& url);
    void runToEnd(FtpThread& thread, int timeoutMs = 30000);
    bool serve(FtpServerFixture& server, const FtpServerFixture::Options& options = {});
    bool updateFrom(FtpServerFixture& server, FtpThread& thread,
                    const FtpServerFixture::Options& options = {});
    QString game(const QString& rel = QString()) const { return tree->game("Poker", rel); }
    QByteArray read(const QString& path) const { return testsupport::readOrMissing(path); }
    // Every path below the temporary root except the game folder's contents.
    QStringList treeOutsideGame() const { return testsupport::pathsOutside(tree->root(), game()); }
    QByteArray zipBytes(const QList<testsupport::ZipEntry>& entries);

    std::unique_ptr<testsupport::RunTreeFixture> tree;
};

namespace {
// The file libcurl was loaded from, as this process maps it; empty when it is not mapped.
QString mappedLibcurl() {
    QFile maps("/proc/self/maps");
    if (!maps.open(QIODevice::ReadOnly)) {
        return QString();
    }
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const int path = line.indexOf('/');
        if (path > 0 && line.contains("/libcurl")) {
            return QString::fromLocal8Bit(line.mid(path));
        }
    }
    return QString();
}

bool libcurlMapped() {
    return !mappedLibcurl().isEmpty();
}
} // namespace

void TestFtpThread::initTestCase() {
    // Short limits so the stalled-server cases end quickly; the launcher uses 30 s.
    FtpConnection::setTimeouts(5, 2);
}

void TestFtpThread::init() {
    tree = std::make_unique<testsupport::RunTreeFixture>("Poker");
    QVERIFY(tree->isValid());
}

void TestFtpThread::cleanup() {
    tree.reset();
}

void TestFtpThread::setFtpUrl(const QByteArray& url) {
    utility::XmlServerParser::getInstance()->parse("<servers><ftp url=\"" + url + "\"/></servers>");
    QCOMPARE(QByteArray::fromStdString(utility::XmlServerParser::getInstance()->ftpUrl()), url);
}

void TestFtpThread::runToEnd(FtpThread& thread, int timeoutMs) {
    thread.start();
    QTRY_VERIFY_WITH_TIMEOUT(thread.isFinished(), timeoutMs);
    // The worker stores its last phase after everything it built: loading it orders the
    // tree before the checks, for ThreadSanitizer too (it cannot see Qt's own handshake).
    QVERIFY(thread.phase.load() != FtpThread::Listing);
}

// Starts `server` and makes it the catalogue's FTP address; false when it did not start.
bool TestFtpThread::serve(FtpServerFixture& server, const FtpServerFixture::Options& options) {
    if (!server.start(options)) {
        return false;
    }
    setFtpUrl(server.url());
    return true;
}

// Serves what `server` holds and runs `thread` to its end; false when the server did not
// start.
bool TestFtpThread::updateFrom(FtpServerFixture& server, FtpThread& thread,
                               const FtpServerFixture::Options& options) {
    if (!serve(server, options)) {
        return false;
    }
    runToEnd(thread);
    return true;
}

QByteArray TestFtpThread::zipBytes(const QList<testsupport::ZipEntry>& entries) {
    const QString path = tree->root() + "/made.zip";
    QFile::remove(path);
    if (!testsupport::makeZip(path, entries)) {
        return QByteArray();
    }
    const QByteArray bytes = read(path);
    QFile::remove(path);
    return bytes;
}

void TestFtpThread::packageOnly() {
    FtpServerFixture server;
    const QByteArray exe = testsupport::randomBytes(50000);
    const QByteArray package =
        zipBytes({{"bin/", ""}, {"bin/game.exe", exe}, {"readme.txt", "hi"}});
    QVERIFY(!package.isEmpty());
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", package));
    FtpThread thread("Poker");
    QVERIFY(serve(server));
    // The first test of the process to transfer: libcurl comes in with the first update,
    // not with the program or its update objects.
    QVERIFY(!CurlLibrary::isLoaded());
    QVERIFY(!libcurlMapped());
    runToEnd(thread);
    QVERIFY(CurlLibrary::isLoaded());
    QVERIFY(libcurlMapped());
    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    QCOMPARE(server.paths("NLST|MLSD"), QStringList({"/BoardGame/Poker"}));
    QCOMPARE(childNames(thread.tree()), QStringList({"Poker.zip"}));
    QCOMPARE(read(game("bin/game.exe")), exe);
    QCOMPARE(read(game("readme.txt")), QByteArray("hi"));
    QVERIFY(!QFile::exists(game("Poker.zip")));
    // The installer's figures are the last ones published: entries.
    QCOMPARE(thread.total.load(), 3);
    QCOMPARE(thread.current.load(), 3);
}

void TestFtpThread::unopenedConnection_data() {
    testsupport::addRows<int>("transfer", {{"listing", 0}, {"download", 1}, {"file figures", 2}});
}

// A connection that was never opened, or was closed, has no libcurl to call: every
// transfer fails at once and says so.
void TestFtpThread::unopenedConnection() {
    QFETCH(int, transfer);
    FtpConnection connection;
    for (bool opened : {false, true}) {
        if (opened) {
            QVERIFY(connection.open());
            connection.close();
        }
        QVERIFY(!connection.isOpen());
        std::string out;
        long long size = 0;
        long long modified = 0;
        const std::string url = "ftp://127.0.0.1:1/BoardGame/Poker/";
        const bool done = transfer == 0   ? connection.list(url, nullptr, "", out)
                          : transfer == 1 ? connection.startDownload(url + "Poker.zip", "", out)
                                          : connection.fileInfo(url + "Poker.zip", size, modified);
        QVERIFY(!done);
        QVERIFY(out.empty());
        if (transfer == 2) {
            QCOMPARE(size, -1LL);
            QCOMPARE(modified, -1LL);
        }
        QVERIFY(!connection.errorString().empty());
    }
}

void TestFtpThread::filesStoredByteForByte() {
    FtpServerFixture server;
    // Files reach the disk in pieces: sizes across and exactly on piece boundaries.
    const QByteArray data = testsupport::randomBytes(int(FtpConnection::pieceSize * 5 / 2));
    const QByteArray exact = testsupport::randomBytes(int(FtpConnection::pieceSize * 2));
    QVERIFY(server.addFile("BoardGame/Poker/data.bin", data));
    QVERIFY(server.addFile("BoardGame/Poker/exact.bin", exact));
    QVERIFY(server.addFile("BoardGame/Poker/notes.txt", "plain text\n"));
    QVERIFY(server.addFile("BoardGame/Poker/my file #1.txt", "spaced"));
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread));
    // No package: the loose files are the update, and that is a success.
    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    QCOMPARE(read(game("data.bin")), data);
    QCOMPARE(read(game("exact.bin")), exact);
    QCOMPARE(read(game("notes.txt")), QByteArray("plain text\n"));
    QCOMPARE(read(game("my file #1.txt")), QByteArray("spaced"));
    QVERIFY(server.paths("RETR").contains("/BoardGame/Poker/my file #1.txt"));
}

void TestFtpThread::filteringAndDepthFirst() {
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/Thumbs.db", "thumbs"));
    QVERIFY(server.addFile("BoardGame/Poker/cache.db.old", "cache")); // ".db" inside: skipped
    QVERIFY(server.addFile("BoardGame/Poker/.profile", "profile"));   // a dot, so a file
    QVERIFY(server.addFile("BoardGame/Poker/.svn/entries.txt", "svn"));
    QVERIFY(server.addFile("BoardGame/Poker/svnadmin/hooks.txt", "svn"));
    QVERIFY(server.addFile("BoardGame/Poker/readme/notes.txt", "notes"));
    QVERIFY(server.addFile("BoardGame/Poker/data/a.bin", "a-bin"));
    QVERIFY(server.addFile("BoardGame/Poker/data/sub/b.bin", "b-bin"));
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread));
    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    // "data/sub" is listed before "readme": each folder is listed as soon as it is named.
    QCOMPARE(server.paths("NLST|MLSD"),
             QStringList({"/BoardGame/Poker", "/BoardGame/Poker/data", "/BoardGame/Poker/data/sub",
                          "/BoardGame/Poker/readme"}));
    // Fetched each once.
    QCOMPARE(server.fetched(),
             QStringList({"/BoardGame/Poker/.profile", "/BoardGame/Poker/data/a.bin",
                          "/BoardGame/Poker/data/sub/b.bin", "/BoardGame/Poker/readme/notes.txt"}));
    QCOMPARE(childNames(thread.tree()), QStringList({".profile", "data", "readme"}));
    QCOMPARE(child(thread.tree(), ".profile")->kind, int(FtpNode::File));
    QVERIFY(!server.paths("CWD").contains("/BoardGame/Poker/.profile")); // never taken for a folder
    QCOMPARE(child(thread.tree(), "readme")->kind, int(FtpNode::Directory));
    QCOMPARE(read(game("data/a.bin")), QByteArray("a-bin"));
    QCOMPARE(read(game("data/sub/b.bin")), QByteArray("b-bin"));
    QCOMPARE(read(game("readme/notes.txt")), QByteArray("notes"));
    QCOMPARE(read(game(".profile")), QByteArray("profile"));
    QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({".installed", ".profile", "data", "readme"}));
}

void TestFtpThread::dotFolderTakenForFile() {
    // Listed by name alone, it is taken for a file first; refused as one, it is listed as the
    // folder it is.
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/v1.0/inside.txt", "inside"));
    FtpServerFixture::Options options;
    options.namesOnly = true;
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread, options));
    const FtpNode* node = child(thread.tree(), "v1.0");
    QVERIFY(node);
    QCOMPARE(node->kind, int(FtpNode::Directory));
    QVERIFY(server.paths("SIZE").contains("/BoardGame/Poker/v1.0"));
    QCOMPARE(server.paths("NLST"), QStringList({"/BoardGame/Poker", "/BoardGame/Poker/v1.0"}));
    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    QCOMPARE(read(game("v1.0/inside.txt")), QByteArray("inside"));
}

namespace {
QByteArray cp949(const QString& text) {
    return QTextCodec::codecForName("CP949")->fromUnicode(text);
}
} // namespace

void TestFtpThread::windowsServer_data() {
    // A server listing names alone leaves each name's kind to a guess.
    // One connection per address leaves the further ones turned away.
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<bool>("namesOnly");
    QTest::addColumn<int>("connections");
    QTest::newRow("server in CP949") << QByteArray("cp949") << false << 0;
    QTest::newRow("CP949, names alone") << QByteArray("cp949") << true << 0;
    QTest::newRow("server in UTF-8") << QByteArray("utf8") << false << 0;
    QTest::newRow("UTF-8, names alone") << QByteArray("utf8") << true << 0;
    QTest::newRow("CP949, one connection per address") << QByteArray("cp949") << false << 1;
}

// A server as operators run it on Windows: Korean names in its code page, files without a
// dot, folders with one, and a package zipped on Windows (CP949 names, no Unix modes).
void TestFtpThread::windowsServer() {
    QFETCH(QByteArray, encoding);
    QFETCH(bool, namesOnly);
    QFETCH(int, connections);
    FtpServerFixture server;
    const QString korean = QString::fromUtf8("데이터/한글 설명.txt");
    QVERIFY(server.addFile("BoardGame/Poker/README", "read me"));
    QVERIFY(server.addFile("BoardGame/Poker/LICENSE", "licence"));
    QVERIFY(server.addFile("BoardGame/Poker/v1.0/notes.txt", "notes"));
    QVERIFY(server.addFile("BoardGame/Poker/jre1.8/bin/java", "java"));
    QVERIFY(server.addFile("BoardGame/Poker/" + korean, "korean"));
    // Names whose CP949 bytes happen to be valid UTF-8 ("창" is C3 A2, "â").
    const QStringList lookalikes =
        QString::fromUtf8("창.png 천체.png 타자/창.png 천체/창.png").split(' ');
    for (const QString& name : lookalikes.mid(0, 3)) {
        QVERIFY(server.addFile("BoardGame/Poker/" + name, name.toUtf8()));
    }
    testsupport::ZipEntry windowsEntry{cp949(QString::fromUtf8("게임/실행 파일.exe")), "program"};
    QVERIFY(
        server.addFile("BoardGame/Poker/Poker.zip",
                       zipBytes({windowsEntry, {cp949(lookalikes[3]), lookalikes[3].toUtf8()}})));
    FtpServerFixture::Options options;
    options.encoding = encoding;
    options.namesOnly = namesOnly;
    options.connectionsPerAddress = connections;
    QVERIFY(serve(server, options));

    const testsupport::LogCapture log;
    FtpThread thread("Poker");
    runToEnd(thread);

    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    QCOMPARE(read(game("README")), QByteArray("read me"));
    QCOMPARE(read(game("LICENSE")), QByteArray("licence"));
    QCOMPARE(read(game("v1.0/notes.txt")), QByteArray("notes"));
    QCOMPARE(read(game("jre1.8/bin/java")), QByteArray("java"));
    QCOMPARE(read(game(korean)), QByteArray("korean"));
    QCOMPARE(read(game(QString::fromUtf8("게임/실행 파일.exe"))), QByteArray("program"));
    for (const QString& name : lookalikes) {
        QCOMPARE(read(game(name)), name.toUtf8());
    }
    QVERIFY(!QFile::exists(game("Poker.zip")));
    QVERIFY(!QFile::exists(game(FtpThread::stagingName)));
    // Each name went back to the server as the bytes it listed.
    QVERIFY(server.paths("RETR").contains("/BoardGame/Poker/" + korean));
    // Which guess won is in the log; no name's size was asked for when the listing told it.
    QCOMPARE(log.lines().filter(QRegularExpression("file - .*README.*not a folder")).size(),
             int(namesOnly));
    QCOMPARE(log.lines().filter(QRegularExpression("dir - .*v1.0.*not a file")).size(),
             int(namesOnly));
    QCOMPARE(server.paths("SIZE").isEmpty(), !namesOnly);
    // Every file came once, over the connections the server took.
    const QStringList fetched = server.paths("RETR");
    QCOMPARE(QSet<QString>(fetched.begin(), fetched.end()).size(), fetched.size());
    QCOMPARE(log.lines().filter("a further connection failed").size(),
             connections == 1 ? FtpThread::transfersAtOnce - 1 : 0);
}

void TestFtpThread::refusedListings_data() {
    testsupport::addRows<QString, bool>("situation", "refused",
                                        {{"name neither UTF-8 nor CP949", "undecodable", true},
                                         {"two listed names for one local name", "collision", true},
                                         {"more than 100,000 names", "many", true},
                                         {"100,000 names: taken", "many", false},
                                         {"listing over 8 MiB", "long", true},
                                         {"folders 33 deep", "deep", true},
                                         {"folders 32 deep: taken", "deep", false},
                                         {"no room on the disk", "disk", true}});
}

// What a server sends is bounded and must name files faithfully; otherwise the update
// fails before anything is downloaded or overwritten.
void TestFtpThread::refusedListings() {
    QFETCH(QString, situation);
    QFETCH(bool, refused);
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/a.txt", "a"));
    FtpServerFixture::Options options;
    const QByteArray folder = QFile::encodeName(server.rootPath() + "/BoardGame/Poker/");
    const auto rawFile = [&](const QByteArray& name) {
        std::FILE* f = std::fopen((folder + name).constData(), "wb");
        return f && std::fclose(f) == 0;
    };
    if (situation == "undecodable") {
        QVERIFY(rawFile("\xff\xfe.txt"));
    } else if (situation == "collision") {
        // The same name once in UTF-8 and once in CP949.
        QVERIFY(rawFile(QString::fromUtf8("가.txt").toUtf8()));
        QVERIFY(rawFile(cp949(QString::fromUtf8("가.txt"))));
    } else if (situation == "many") {
        QStringList names;
        for (int i = 1; i < FtpThread::maxNamesPerFolder + refused; ++i) { // and a.txt
            names << QString("n%1.txt").arg(i);
        }
        options.extraNames["/BoardGame/Poker"] = names;
    } else if (situation == "long") {
        QStringList names;
        for (int i = 0; i < 40000; ++i) {
            names << QString("%1.txt").arg(i, 230, 10, QChar('x'));
        }
        options.extraNames["/BoardGame/Poker"] = names;
    } else if (situation == "disk") {
        // 40 MiB to fetch on a 96 MiB disk, where 64 MiB must stay free (mounting needs root).
        QVERIFY(server.addFile("BoardGame/Poker/big.bin", QByteArray(40 << 20, '\0')));
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=96m", "tmpfs", game()}) != 0) {
            QSKIP("cannot mount a small disk here (mount needs root)");
        }
    } else {
        QString path = "BoardGame/Poker";
        for (int i = 0; i < FtpThread::maxDepth + refused; ++i) {
            path += "/d";
        }
        QVERIFY(server.addFile(path + "/deep.txt", "deep"));
    }
    QVERIFY(serve(server, options));
    QVERIFY(QFile(game("a.txt")).open(QIODevice::WriteOnly));

    const auto unmount = qScopeGuard([&] {
        if (situation == "disk") {
            QProcess::execute("umount", {game()});
        }
    });
    FtpThread thread("Poker");
    runToEnd(thread, 60000);
    // A listing at the limits is taken: the update goes on to ask for sizes or fetch files.
    QCOMPARE(server.paths("SIZE|RETR").isEmpty(), refused);
    if (!refused) {
        return;
    }
    QCOMPARE(thread.phase.load(), int(FtpThread::Failed));
    QCOMPARE(server.paths("RETR"), QStringList());
    QCOMPARE(read(game("a.txt")), QByteArray());
    QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"a.txt"}));
}

void TestFtpThread::resume_data() {
    QTest::addColumn<QString>("change"); // what changes on the server between the runs
    QTest::newRow("unchanged: continued") << "none";
    QTest::newRow("new size: started over") << "size";
    QTest::newRow("new time: started over") << "time";
    QTest::newRow("REST refused: started over") << "refused";
}

// A download cut off half way leaves its data in the staging folder; the next update
// continues it only while the server holds the same file.
void TestFtpThread::resume() {
    QFETCH(QString, change);
    FtpServerFixture server;
    testsupport::ZipEntry big{"data.bin", testsupport::randomBytes(3 << 20)};
    big.stored = true;
    const QByteArray package = zipBytes({big, {"small.txt", "small"}});
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", package));
    // Listed first, so the first run fetches it whole before the cut: not fetched again.
    QVERIFY(server.addFile("BoardGame/Poker/Extra.txt", "extra"));
    FtpServerFixture::Options options;
    options.cutAfter = 1 << 20;
    QVERIFY(serve(server, options));

    {
        FtpThread first("Poker");
        runToEnd(first);
        QCOMPARE(first.phase.load(), int(FtpThread::Failed));
    }
    // Nothing of it replaced a game file; what came waits in the staging folder.
    QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    const QString staged = game(QString(FtpThread::stagingName) + "/data/Poker.zip");
    QCOMPARE(QFileInfo(staged).size(), qint64(1 << 20));

    QByteArray expected = package;
    const QString served = server.rootPath() + "/BoardGame/Poker/Poker.zip";
    if (change == "size") {
        big.data = testsupport::randomBytes(2 << 20);
        expected = zipBytes({big, {"small.txt", "changed"}});
        QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", expected));
    } else if (change == "time") {
        QFile file(served);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-3),
                                 QFileDevice::FileModificationTime));
    }
    if (change == "refused") {
        server.kill();
        FtpServerFixture::Options refusing;
        refusing.refuseRest = true;
        QVERIFY(serve(server, refusing));
    }
    server.clearCommands();

    FtpThread second("Poker");
    runToEnd(second);
    QCOMPARE(second.phase.load(), int(FtpThread::Installing));
    const bool continued = change == "none";
    // Only the cut file is continued; the whole one is not asked for again. (Each size query
    // comes with a REST 0.)
    QStringList restarts = server.paths("REST");
    restarts.removeAll("0");
    QCOMPARE(restarts, continued || change == "refused" ? QStringList({"1048576"}) : QStringList());
    QVERIFY(server.paths("SIZE").count("/BoardGame/Poker/Extra.txt") <= 1);
    QCOMPARE(server.bytesSent(), expected.size() - (continued ? 1 << 20 : 0));
    QCOMPARE(second.bytesTotal.load(), expected.size() + qint64(sizeof("extra") - 1));
    QCOMPARE(second.bytesDone.load(), second.bytesTotal.load());
    // Byte for byte what a clean update gives.
    const QString unpacked = tree->root() + "/clean.zip";
    QFile out(unpacked);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(expected);
    out.close();
    QCOMPARE(read(game("data.bin")), big.data);
    QCOMPARE(read(game("small.txt")), QByteArray(change == "size" ? "changed" : "small"));
    QCOMPARE(read(game("Extra.txt")), QByteArray("extra"));
    QVERIFY(!QFile::exists(game(FtpThread::stagingName)));
}

void TestFtpThread::leftovers_data() {
    // What an earlier run (or anyone) left, as path=content; content "->x" makes a link to x,
    // a path ending in / a folder.
    testsupport::addRows<QStringList, bool>(
        "left", "fails",
        {{"staged file where the server has a folder", {".partial/data/v1.0=old"}, false},
         {"staged folder where the server has a file", {".partial/data/Poker.zip/x/"}, false},
         {"stamp without data", {".partial/info/Poker.zip=1 2"}, false},
         {"data without stamp", {".partial/data/Poker.zip=stale bytes"}, false},
         {"staging folder is a file", {".partial=file"}, false},
         {"staging folder links out", {".partial->../outside"}, false},
         {"staged file links out", {".partial/data/Extra.txt->../../../outside/x"}, false},
         {"game file where the server has a folder", {"v1.0=old"}, false},
         {"game folder links out", {"v1.0->../outside"}, true}});
}

// Whatever is left in the way, the update ends with the whole game or fails, touching nothing
// outside the game folder.
void TestFtpThread::leftovers() {
    QFETCH(QStringList, left);
    QFETCH(bool, fails);
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/Extra.txt", "extra"));
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", zipBytes({{"unpacked.txt", "unpacked"}})));
    QVERIFY(server.addFile("BoardGame/Poker/v1.0/notes.txt", "notes"));
    QVERIFY(serve(server));
    QVERIFY(QDir().mkpath(tree->root() + "/outside"));
    for (const QString& item : left) {
        const QString path = game(item.section(QRegularExpression("=|->"), 0, 0));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(item.contains("->")  ? QFile::link(item.section("->", 1), path)
                : item.endsWith('/') ? QDir().mkpath(path)
                                     : testsupport::writeFile(path, item.section('=', 1).toUtf8()));
    }
    const QStringList before = treeOutsideGame();

    FtpThread thread("Poker");
    runToEnd(thread);
    QCOMPARE(treeOutsideGame(), before);
    QCOMPARE(thread.phase.load(), int(fails ? FtpThread::Failed : FtpThread::Installing));
    if (fails) {
        return;
    }
    QCOMPARE(read(game("unpacked.txt")), QByteArray("unpacked"));
    QCOMPARE(read(game("v1.0/notes.txt")), QByteArray("notes"));
    QCOMPARE(read(game("Extra.txt")), QByteArray("extra"));
    QVERIFY(!QFileInfo::exists(game(FtpThread::stagingName)));
}

void TestFtpThread::zeroLengthFile() {
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/empty.txt", QByteArray()));
    QVERIFY(server.addFile("BoardGame/Poker/full.txt", "full"));
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread));
    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    QVERIFY(server.paths("RETR").contains("/BoardGame/Poker/empty.txt"));
    QVERIFY(!QFile::exists(game("empty.txt")));
    QCOMPARE(read(game("full.txt")), QByteArray("full"));
}

void TestFtpThread::sameNameTwice() {
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/a.bin", "a"));
    QVERIFY(server.addFile("BoardGame/Poker/data/b.bin", "b"));
    FtpServerFixture::Options options;
    options.extraNames["/BoardGame/Poker"] = QStringList({"a.bin", "data"});
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread, options));
    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    QCOMPARE(childNames(thread.tree()), QStringList({"a.bin", "data"}));
    QCOMPARE(server.fetched(),
             QStringList({"/BoardGame/Poker/a.bin", "/BoardGame/Poker/data/b.bin"}));
    QCOMPARE(server.paths("NLST|MLSD"), QStringList({"/BoardGame/Poker", "/BoardGame/Poker/data"}));
}

void TestFtpThread::refusedNames_data() {
    QTest::addColumn<QStringList>("listed"); // names the server lists beside ok.txt
    QTest::addColumn<QString>("served");     // a real file below the game's folder, or ""
    QTest::addColumn<bool>("fails");
    QTest::newRow("the folder itself and its parent: skipped")
        << QStringList({"..", "."}) << "" << false;
    for (const char* name : {"../up.txt", "sub/../../up.txt", "..\\up.txt", "a\\b", ".partial",
                             ".installed", "\u200bok.txt"}) {
        QTest::newRow(name) << QStringList({QString::fromUtf8(name)}) << "" << true;
    }
    // Decoded without its byte-order mark, each level would be "..".
    QTest::newRow("byte-order mark and ..")
        << QStringList() << QString(QChar(0xfeff)) + ".." + '/' + QChar(0xfeff) + "../escaped.txt"
        << true;
    // Raw MLSD lines ("mlsd:" is the fixture's mark).
    QTest::newRow("the folder itself and its parent in MLSD: skipped")
        << QStringList({"mlsd:type=cdir; /BoardGame/Poker", "mlsd:TYPE=pdir; .."}) << "" << false;
    QTest::newRow("an MLSD line without facts") << QStringList({"mlsd:ok2.txt"}) << "" << true;
}

void TestFtpThread::lyingSizes_data() {
    // The facts MLSD lines give, as "size; name"; "zz.bin" holds 10 bytes.
    QStringList huge; // together beyond what a 64-bit count holds
    for (int i = 0; i < 10; ++i) {
        huge << QString("size=999999999999999999; huge%1.bin").arg(i);
    }
    testsupport::addRows<QStringList, bool>("facts", "fetched",
                                            {{"more bytes than listed", {"size=4; zz.bin"}, true},
                                             {"fewer bytes than listed", {"size=20; zz.bin"}, true},
                                             {"beyond any game's", huge, false}});
}

// Each file's size is the one listed: the disk's room was checked for it, and what comes
// must match it, neither more nor less. A lie fails the update and leaves nothing to continue.
void TestFtpThread::lyingSizes() {
    QFETCH(QStringList, facts);
    QFETCH(bool, fetched);
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/zz.bin", "0123456789")); // listed after the lines
    FtpServerFixture::Options options;
    for (const QString& line : facts) {
        options.extraNames["/BoardGame/Poker"] << "mlsd:type=file;modify=20260101000000;" + line;
    }
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread, options));
    QCOMPARE(thread.phase.load(), int(FtpThread::Failed));
    QCOMPARE(server.paths("RETR").size(), int(fetched));
    QVERIFY(!QFileInfo::exists(game("zz.bin")));
    QVERIFY(!QFileInfo::exists(game(".partial/data/zz.bin")));
}

// A name that is not a plain child of its folder stops the update before anything is written.
void TestFtpThread::refusedNames() {
    QFETCH(QStringList, listed);
    QFETCH(QString, served);
    QFETCH(bool, fails);
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/ok.txt", "ok"));
    QVERIFY(server.addFile("BoardGame/up.txt", "outside the game folder"));
    QVERIFY(served.isEmpty() || server.addFile("BoardGame/Poker/" + served, "escaped"));
    FtpServerFixture::Options options;
    options.extraNames["/BoardGame/Poker"] = listed;
    QVERIFY(serve(server, options));
    const QStringList before = treeOutsideGame();

    FtpThread thread("Poker");
    runToEnd(thread);
    QCOMPARE(thread.phase.load(), int(fails ? FtpThread::Failed : FtpThread::Installing));
    QCOMPARE(server.paths("RETR"),
             fails ? QStringList() : QStringList({"/BoardGame/Poker/ok.txt"}));
    QCOMPARE(treeOutsideGame(), before);
    QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             fails ? QStringList() : QStringList({".installed", "ok.txt"}));
}

void TestFtpThread::nothingFound_data() {
    testsupport::addRows<QString>("situation", {{"empty game folder", "empty"},
                                                {"no game folder", "missing"},
                                                {"wrong password", "password"},
                                                {"nobody listening", "closed"}});
}

void TestFtpThread::nothingFound() {
    QFETCH(QString, situation);
    FtpServerFixture server;
    if (situation == "empty") {
        QVERIFY(server.addDir("BoardGame/Poker"));
    } else {
        QVERIFY(server.addFile("BoardGame/Matgo/Matgo.zip", "other game"));
    }
    QVERIFY(situation == "password" ? server.addFile("BoardGame/Poker/Poker.zip", "zip") : true);
    QVERIFY(server.start());
    QByteArray url = server.url();
    if (situation == "password") {
        url = server.url("wrong");
    } else if (situation == "closed") {
        server.kill();
    }
    setFtpUrl(url);
    // A package from before must stay untouched: the installer does not run.
    const QByteArray old = zipBytes({{"old.txt", "old"}});
    QFile local(game("Poker.zip"));
    QVERIFY(local.open(QIODevice::WriteOnly));
    local.write(old);
    local.close();

    QElapsedTimer clock;
    clock.start();
    FtpThread thread("Poker");
    runToEnd(thread, 20000);
    QCOMPARE(thread.phase.load(), int(FtpThread::NothingFound));
    QVERIFY(clock.elapsed() < 15000);
    QCOMPARE(server.paths("RETR"), QStringList());
    QCOMPARE(read(game("Poker.zip")), old);
    QVERIFY(!QFile::exists(game("old.txt")));
}

void TestFtpThread::missingListedFile_data() {
    // Neither a file nor a folder of that name: both guesses fail.
    testsupport::addRows<QString>("ghost",
                                  {{"dotted name", "ghost.bin"}, {"dotless name", "ghost"}});
}

void TestFtpThread::missingListedFile() {
    QFETCH(QString, ghost);
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/a.bin", "a"));
    FtpServerFixture::Options options;
    options.extraNames["/BoardGame/Poker"] = QStringList({ghost});
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread, options));
    QCOMPARE(thread.phase.load(), int(FtpThread::Failed));
    QVERIFY(server.paths("SIZE").contains("/BoardGame/Poker/" + ghost));
    QVERIFY(server.commands().contains("CWD /BoardGame/Poker/" + ghost));
    QCOMPARE(server.paths("RETR"), QStringList());
    QVERIFY(!QFile::exists(game(ghost)));
    QVERIFY(!QFile::exists(game("a.bin")));
}

void TestFtpThread::failedSubListing() {
    // Listed by name alone, "LICENSE" has no dot, so it is taken for a folder; refused as one,
    // it is a file.
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/LICENSE", "licence text"));
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", zipBytes({{"a.txt", "a"}})));
    FtpServerFixture::Options options;
    options.namesOnly = true;
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread, options));
    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    QVERIFY(server.commands().contains("CWD /BoardGame/Poker/LICENSE"));
    QCOMPARE(child(thread.tree(), "LICENSE")->kind, int(FtpNode::File));
    QCOMPARE(read(game("LICENSE")), QByteArray("licence text"));
    QCOMPARE(read(game("a.txt")), QByteArray("a"));
}

void TestFtpThread::unwritableLocalFile() {
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/a.bin", "new a"));
    QVERIFY(server.addFile("BoardGame/Poker/data/b.bin", "b"));
    QVERIFY(serve(server));
    // Where the server now has a file there is a folder, and the reverse: the server's tree
    // wins.
    QVERIFY(QDir().mkpath(game("a.bin/keep")));
    QVERIFY(QFile(game("data")).open(QIODevice::WriteOnly));

    FtpThread thread("Poker");
    runToEnd(thread);
    QCOMPARE(thread.phase.load(), int(FtpThread::Installing));
    QCOMPARE(read(game("a.bin")), QByteArray("new a"));
    QCOMPARE(read(game("data/b.bin")), QByteArray("b"));
}

void TestFtpThread::failedInstallKeepsPackage() {
    FtpServerFixture server;
    const QByteArray package =
        zipBytes({{"ok.txt", "ok"}, {"../escaped.txt", "out"}, {"b.txt", "b"}});
    QVERIFY(!package.isEmpty());
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", package));
    FtpThread thread("Poker");
    QVERIFY(updateFrom(server, thread));
    QCOMPARE(thread.phase.load(), int(FtpThread::Failed));
    // Kept staged, exactly as the server holds it: the next update does not fetch it again.
    QCOMPARE(read(game(".partial/data/Poker.zip")), package);
    QVERIFY(!QFile::exists(tree->root() + "/escaped.txt"));
    QVERIFY(!QFile::exists(game("ok.txt")));
    server.clearCommands();
    FtpThread again("Poker");
    runToEnd(again);
    QCOMPARE(server.paths("RETR"), QStringList());
}

void TestFtpThread::repair_data() {
    // What happens to the installed game before the repair, and what the repair fetches.
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QStringList>("fetched");
    QTest::addColumn<int>("checked");
    QTest::addColumn<int>("damaged");
    QTest::newRow("nothing: nothing fetched") << "" << QStringList() << 4 << 0;
    QTest::newRow("a loose file deleted") << "Extra.txt" << QStringList({"Extra.txt"}) << 4 << 1;
    QTest::newRow("a loose file cut short")
        << "data/b.bin" << QStringList({"data/b.bin"}) << 4 << 1;
    QTest::newRow("one byte of an unpacked file")
        << "a.txt" << QStringList({"Poker.zip"}) << 4 << 1;
    // Without a record, a loose file deleted and an unpacked file changed: the package comes
    // again and its files are compared with the installed ones.
    const QStringList both({"Extra.txt", "Poker.zip"});
    QTest::newRow("no record: sizes and package checked") << "record" << both << 4 << 2;
    QTest::newRow("a record naming ..") << "garbage" << both << 4 << 2;
}

// A repair checks what the last update installed and fetches again only what is damaged;
// files the record does not name (the player's) stay as they are.
void TestFtpThread::repair() {
    QFETCH(QString, damage);
    QFETCH(QStringList, fetched);
    QFETCH(int, checked);
    QFETCH(int, damaged);
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/Extra.txt", "extra"));
    QVERIFY(server.addFile("BoardGame/Poker/data/b.bin", "b-bin"));
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip",
                           zipBytes({{"a.txt", "unpacked a"}, {"sub/c.txt", "unpacked c"}})));
    FtpThread update("Poker");
    QVERIFY(updateFrom(server, update));
    QCOMPARE(update.phase.load(), int(FtpThread::Installing));
    QVERIFY(QDir().mkpath(game("saves")));
    QVERIFY(testsupport::writeFile(game("saves/player.sav"), "the player's"));
    const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-30);
    const auto setOld = [&](const QString& path) {
        QFile file(game(path));
        return file.open(QIODevice::ReadWrite) &&
               file.setFileTime(old, QFileDevice::FileModificationTime);
    };
    QVERIFY(setOld("sub/c.txt"));
    if (damage == "record" || damage == "garbage") {
        QVERIFY(testsupport::writeFile(game(InstallRecord::fileName),
                                       damage == "garbage" ? "{\"files\": [{\"path\": \"../x\"}]}"
                                                           : QByteArray()));
        QVERIFY(damage == "garbage" || QFile::remove(game(InstallRecord::fileName)));
        QVERIFY(QFile::remove(game("Extra.txt")));
        QVERIFY(testsupport::writeFile(game("a.txt"), "unpacked A"));
    } else if (damage == "a.txt") {
        QVERIFY(testsupport::writeFile(game("a.txt"), "unpacked A"));
    } else if (damage == "data/b.bin") {
        QVERIFY(testsupport::writeFile(game("data/b.bin"), "b-"));
    } else if (!damage.isEmpty()) {
        QVERIFY(QFile::remove(game(damage)));
    }
    server.clearCommands();

    FtpThread repair("Poker", true);
    runToEnd(repair);
    QCOMPARE(repair.phase.load(), int(FtpThread::Installing));
    QStringList retrieved = server.fetched();
    retrieved.replaceInStrings("/BoardGame/Poker/", "");
    QCOMPARE(retrieved, fetched);
    QCOMPARE(repair.filesChecked.load(), checked);
    QCOMPARE(repair.filesDamaged.load(), damaged);
    QCOMPARE(repair.filesRepaired.load(), damaged);
    QCOMPARE(read(game("Extra.txt")), QByteArray("extra"));
    QCOMPARE(read(game("data/b.bin")), QByteArray("b-bin"));
    QCOMPARE(read(game("a.txt")), QByteArray("unpacked a"));
    QCOMPARE(QFileInfo(game("sub/c.txt")).lastModified(), old); // not unpacked again
    QCOMPARE(read(game("saves/player.sav")), QByteArray("the player's"));
    QVERIFY(!QFileInfo::exists(game("Poker.zip")));
    // The next check finds everything whole, without the server.
    server.clearCommands();
    FtpThread again("Poker", true);
    runToEnd(again);
    QCOMPARE(again.filesDamaged.load(), 0);
    QCOMPARE(server.paths("NLST|MLSD|RETR"), QStringList());
}

void TestFtpThread::serverKilledMidTransfer_data() {
    QTest::addColumn<int>("killAfter"); // bytes received before the server is killed
    QTest::newRow("before the first piece is written") << 1;
    QTest::newRow("after more than one piece") << int(FtpConnection::pieceSize * 3 / 2);
}

void TestFtpThread::serverKilledMidTransfer() {
    QFETCH(int, killAfter);
    FtpServerFixture server;
    const QByteArray big = testsupport::randomBytes(3 * 1024 * 1024);
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", big));
    FtpServerFixture::Options options;
    options.bytesPerSecond = 256 * 1024;
    QVERIFY(serve(server, options));
    // The old package stays as it was: a broken download never takes its place.
    const QByteArray old = "old package";
    QFile previous(game("Poker.zip"));
    QVERIFY(previous.open(QIODevice::WriteOnly));
    QCOMPARE(previous.write(old), qint64(old.size()));
    previous.close();

    FtpThread thread("Poker");
    thread.start();
    QTRY_VERIFY_WITH_TIMEOUT(thread.current.load() >= killAfter, 20000);
    QCOMPARE(thread.phase.load(), int(FtpThread::Downloading));
    QCOMPARE(thread.total.load(), big.size()); // announced before the data came
    server.kill();
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(thread.isFinished(), 15000);
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(thread.phase.load(), int(FtpThread::Failed));
    QVERIFY(thread.current.load() < big.size());
    QCOMPARE(read(game("Poker.zip")), old); // nothing half-written in its place
}

void TestFtpThread::serverStalls_data() {
    testsupport::addRows<bool, int>("midTransfer", "phase",
                                    {{"during the download", true, int(FtpThread::Failed)},
                                     {"before its greeting", false, int(FtpThread::NothingFound)}});
}

void TestFtpThread::serverStalls() {
    QFETCH(bool, midTransfer);
    QFETCH(int, phase);
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", testsupport::randomBytes(3 << 20)));
    FtpServerFixture::Options options;
    options.bytesPerSecond = 256 * 1024;
    QVERIFY(serve(server, options));

    FtpThread thread("Poker");
    if (!midTransfer) {
        server.stall();
    }
    thread.start();
    if (midTransfer) {
        QTRY_VERIFY_WITH_TIMEOUT(thread.current.load() > 0, 10000);
        server.stall();
    }
    QElapsedTimer clock;
    clock.start();
    // The stall limit is 2 s here; without it the worker would wait for ever.
    QTRY_VERIFY_WITH_TIMEOUT(thread.isFinished(), 20000);
    QVERIFY(clock.elapsed() < 15000);
    QCOMPARE(thread.phase.load(), phase);
    QVERIFY(!QFile::exists(game("Poker.zip")));
}

void TestFtpThread::stopRequested() {
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", testsupport::randomBytes(3 << 20)));
    FtpServerFixture::Options options;
    options.bytesPerSecond = 128 * 1024; // some 24 s for the whole file
    QVERIFY(serve(server, options));

    FtpThread thread("Poker");
    thread.start();
    QTRY_VERIFY_WITH_TIMEOUT(thread.current.load() > 0, 10000);
    QElapsedTimer clock;
    clock.start();
    thread.requestInterruption();
    QTRY_VERIFY_WITH_TIMEOUT(thread.isFinished(), 10000);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(thread.phase.load(), int(FtpThread::Failed));
    QVERIFY(!QFile::exists(game("Poker.zip")));
    // Kept for the next run to continue.
    QVERIFY(QFileInfo(game(QString(FtpThread::stagingName) + "/data/Poker.zip")).size() > 0);
}

void TestFtpThread::passwordNeverLogged() {
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/a.bin", "abcdef"));
    QVERIFY(server.addFile("BoardGame/Poker/data/b.bin", "b"));
    FtpServerFixture::Options options;
    options.password = "Sesame4711";
    options.cutAfter = 1; // the first download breaks: a failure line with its address
    QVERIFY(serve(server, options));

    const testsupport::LogCapture log;
    FtpThread thread("Poker");
    thread.start();
    QVERIFY(thread.wait(30000));
    QCOMPARE(thread.phase.load(), int(FtpThread::Failed));
    const QStringList lines = log.lines();
    QVERIFY(lines.filter("ftp file - ").size() >= 1);
    QVERIFY(lines.filter("download failed - ftp://u@127.0.0.1").size() >= 1);
    QCOMPARE(lines.filter("Sesame4711"), QStringList());
}

// Where libcurl cannot be loaded (not installed, or damaged), the program still starts, as it
// does not link libcurl, and an update fails at once with the reason in the log: nothing is
// fetched or written. A copy of this test runs in a private mount namespace in which the
// library's file reads as empty.
void TestFtpThread::withoutLibcurl() {
    if (qEnvironmentVariableIsSet("TEST_LIBCURL_HIDDEN")) {
        FtpServerFixture server;
        QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", zipBytes({{"game.exe", "new"}})));
        FtpThread thread("Poker");
        const testsupport::LogCapture log;
        QVERIFY(updateFrom(server, thread));
        QCOMPARE(thread.phase.load(), int(FtpThread::NothingFound));
        QVERIFY2(CurlLibrary::errorString().startsWith("libcurl cannot be loaded"),
                 qPrintable(CurlLibrary::errorString()));
        QVERIFY2(
            log.lines().join('\n').contains("No transfer can be made: libcurl cannot be loaded"),
            qPrintable(log.lines().join('\n')));
        QCOMPARE(server.paths("NLST|MLSD"), QStringList());
        QCOMPARE(server.paths("RETR"), QStringList());
        QCOMPARE(QDir(game()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
        return;
    }
    if (geteuid() != 0 || QProcess::execute("unshare", {"--mount", "true"}) != 0) {
        QSKIP("hiding libcurl takes a private mount namespace, which needs root");
    }
    QVERIFY(CurlLibrary::get() != nullptr);
    const QString library = QFileInfo(mappedLibcurl()).canonicalFilePath();
    QVERIFY2(!library.isEmpty(), "libcurl is not mapped after loading");
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    QFile blank(empty.filePath("blank"));
    QVERIFY(blank.open(QIODevice::WriteOnly));
    blank.close();

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TEST_LIBCURL_HIDDEN", "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("unshare", {"--mount", "--propagation", "private", "sh", "-c",
                            "mount --bind \"$1\" \"$2\" && exec \"$3\" withoutLibcurl", "sh",
                            blank.fileName(), library, QCoreApplication::applicationFilePath()});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             output.constData());
    QVERIFY2(output.contains("PASS   : TestFtpThread::withoutLibcurl()"), output.constData());
}

QTEST_GUILESS_MAIN(TestFtpThread)
#include "TestFtpThread.moc"
