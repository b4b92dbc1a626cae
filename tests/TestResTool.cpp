#include <QtTest>

#include "DataRows.h"
#include "TestSupport.h"
#include "archive/Seed.h"

namespace {

QByteArray resourceKey() {
    return QByteArray(reinterpret_cast<const char*>(kResourceKey), 16);
}

// The file procedure done with OpenSSL: whole blocks through SEED-ECB, tail kept.
QByteArray opensslFile(const QByteArray& data, bool encrypt,
                       const QByteArray& key = resourceKey()) {
    const int whole = data.size() / 16 * 16;
    return testsupport::opensslSeed(data.left(whole), key, encrypt) + data.mid(whole);
}

int restool(const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr) {
    return testsupport::runProgram(testsupport::restoolPath(), args, out, err);
}

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The operator's resource tool, checked against OpenSSL and Info-ZIP as independent
// implementations of the cipher and the zip format.
class TestResTool : public QObject {
    Q_OBJECT

private slots:
    void packIsReadByOthers();
    void readsArchivesMadeByOthers();
    void savedData_data();
    void savedData();
    void failures_data();
    void failures();
};

void TestResTool::packIsReadByOthers() {
    QTemporaryDir dir;
    const QMap<QString, QByteArray> files{
        {"main/base.png", testsupport::randomBytes(3001)},
        {"script/msg.xml", QByteArray("<root><msg idx=\"0\" text=\"Log in\"/></root>\n")},
        {"font/simhei.ttf", testsupport::randomBytes(777)},
        {"empty.txt", QByteArray()},
    };
    for (auto it = files.begin(); it != files.end(); ++it) {
        writeFile(dir.filePath("in/" + it.key()), it.value());
    }
    QCOMPARE(restool({"pack", dir.filePath("in"), dir.filePath("res.dat")}), 0);

    const QByteArray encrypted = readFile(dir.filePath("res.dat"));
    QVERIFY(encrypted.size() > 0);
    // The folder named relative to the working folder, as typed in a shell.
    const QString relativeIn = QDir::current().relativeFilePath(dir.filePath("in"));
    QVERIFY(QDir::isRelativePath(relativeIn));
    QCOMPARE(restool({"pack", relativeIn, dir.filePath("relative.dat")}), 0);
    QCOMPARE(readFile(dir.filePath("relative.dat")), encrypted);
    QVERIFY(encrypted.left(2) != "PK");
    writeFile(dir.filePath("plain.zip"), opensslFile(encrypted, false));
    QVERIFY(readFile(dir.filePath("plain.zip")).startsWith("PK\x03\x04"));

    QByteArray listing;
    QCOMPARE(testsupport::runProgram("unzip", {"-Z1", dir.filePath("plain.zip")}, &listing), 0);
    QStringList names = QString::fromUtf8(listing).split('\n', Qt::SkipEmptyParts);
    names.sort();
    QCOMPARE(names, QStringList(files.keys()));
    for (auto it = files.begin(); it != files.end(); ++it) {
        QByteArray content;
        QCOMPARE(
            testsupport::runProgram("unzip", {"-p", dir.filePath("plain.zip"), it.key()}, &content),
            0);
        QCOMPARE(content, it.value());
    }
}

void TestResTool::readsArchivesMadeByOthers() {
    QTemporaryDir dir;
    writeFile(dir.filePath("in/login/logbase.png"), testsupport::randomBytes(1234));
    writeFile(dir.filePath("in/script/server.xml"), "<s><web url=\"http://127.0.0.1\"/></s>");
    QCOMPARE(testsupport::runProgram("zip", {"-q", "-r", "../other.zip", "."}, nullptr, nullptr,
                                     QByteArray(), dir.filePath("in")),
             0);
    const QByteArray zip = readFile(dir.filePath("other.zip"));
    writeFile(dir.filePath("other.dat"), opensslFile(zip, true));

    QByteArray out;
    QCOMPARE(restool({"list", dir.filePath("other.dat")}, &out), 0);
    QVERIFY2(out.contains("login/logbase.png 1234\n"), out.constData());
    QVERIFY2(out.contains("script/server.xml 36\n"), out.constData());

    QCOMPARE(restool({"cat", dir.filePath("other.dat"), "login/logbase.png"}, &out), 0);
    QCOMPARE(out, readFile(dir.filePath("in/login/logbase.png")));
}

void TestResTool::savedData_data() {
    testsupport::addRows<QByteArray>(
        "text",
        {{"short", QByteArray("<?xml version=\"1.0\"?>\n<root isSave=\"0\"/>\n")},
         {"exact blocks", QByteArray(32, 'a')},
         {"one over", QByteArray(33, 'b')},
         {"non-ASCII", QString("<root><userInfo id=\"김철수\" pass=\"비밀\"/></root>").toUtf8()}});
}

// save-write pads with zeros and encrypts; OpenSSL reads it back, and save-show prints a
// file that OpenSSL wrote.
void TestResTool::savedData() {
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    writeFile(dir.filePath("in.xml"), text);
    QCOMPARE(restool({"save-write", dir.filePath("in.xml"), dir.filePath("app.dat")}), 0);
    const QByteArray written = readFile(dir.filePath("app.dat"));
    QCOMPARE(written.size(), int(seedPaddedSize(text.size())));
    QByteArray expected = text;
    expected.append(QByteArray(written.size() - text.size(), '\0'));
    QCOMPARE(opensslFile(written, false), expected);

    writeFile(dir.filePath("theirs.dat"), opensslFile(expected, true));
    QByteArray out;
    QCOMPARE(restool({"save-show", dir.filePath("theirs.dat")}, &out), 0);
    QCOMPARE(out, text);
}

void TestResTool::failures_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("unwritten");
    QTest::newRow("list, missing file") << QStringList{"list", "@/none.dat"} << QString();
    QTest::newRow("cat, missing file") << QStringList{"cat", "@/none.dat", "a"} << QString();
    QTest::newRow("save-show, missing file") << QStringList{"save-show", "@/none.dat"} << QString();
    QTest::newRow("pack, missing folder")
        << QStringList{"pack", "@/nofolder", "@/out.dat"} << "out.dat";
    QTest::newRow("pack, unwritable output")
        << QStringList{"pack", "@/in", "@/res.dat/inside.dat"} << "res.dat/inside.dat";
    QTest::newRow("save-write, missing text")
        << QStringList{"save-write", "@/none.xml", "@/new.dat"} << "new.dat";
    QTest::newRow("list, wrong key")
        << QStringList{"--key", "000102030405060708090a0b0c0d0e0f", "list", "@/res.dat"}
        << QString();
    QTest::newRow("list, plain garbage") << QStringList{"list", "@/in/a.txt"} << QString();
    QTest::newRow("cat, unknown entry") << QStringList{"cat", "@/res.dat", "b.txt"} << QString();
    QTest::newRow("key too short")
        << QStringList{"--key", "0011", "save-write", "@/in/a.txt", "@/k.dat"} << "k.dat";
    QTest::newRow("key not hexadecimal") << QStringList{"--key", "zz0102030405060708090a0b0c0d0e0f",
                                                        "save-write", "@/in/a.txt", "@/k.dat"}
                                         << "k.dat";
    QTest::newRow("unknown command") << QStringList{"unpack", "@/res.dat"} << QString();
    QTest::newRow("missing argument") << QStringList{"cat", "@/res.dat"} << QString();
}

void TestResTool::failures() {
    QFETCH(QStringList, args);
    QFETCH(QString, unwritten);
    QTemporaryDir dir;
    writeFile(dir.filePath("in/a.txt"), "some text that is not an archive at all");
    QCOMPARE(restool({"pack", dir.filePath("in"), dir.filePath("res.dat")}), 0);
    for (QString& arg : args) {
        arg.replace("@", dir.path());
    }
    QByteArray out, err;
    const int code = restool(args, &out, &err);
    QVERIFY(code > 0);
    QVERIFY(out.isEmpty());
    QVERIFY(!err.isEmpty());
    // One line of error, or the usage text for a command line it does not understand.
    QVERIFY2(err.count('\n') == 1 || err.startsWith("usage"), err.constData());
    if (!unwritten.isEmpty()) {
        QVERIFY(!QFileInfo::exists(dir.filePath(unwritten)));
    }
}

QTEST_GUILESS_MAIN(TestResTool)
#include "TestResTool.moc"
