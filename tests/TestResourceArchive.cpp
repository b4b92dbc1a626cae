#include <future>
#include <memory>

#include <QtTest>

#include <zip.h>

#include "DataRows.h"
#include "FdCapture.h"
#include "TestSupport.h"
#include "archive/MemoryFile.h"
#include "archive/PicturesAhead.h"
#include "archive/ResourceArchive.h"
#include "archive/Seed.h"

using Entries = QList<QPair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(Entries)

namespace {

const char kOpened[] = "buffer 파일을 여는데 성공하였습니다.";
const char kNotOpened[] = "buffer 파일을 여는데 실패하였습니다.";

// A zip image made with minizip's writer, entries in the given order.
QByteArray makeZip(const Entries& entries, bool deflate = true) {
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("image.zip"));
    zipFile zip = zipOpen(path.constData(), APPEND_STATUS_CREATE);
    for (const auto& entry : entries) {
        zip_fileinfo info{};
        zipOpenNewFileInZip(zip, entry.first.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                            deflate ? Z_DEFLATED : 0, deflate ? Z_DEFAULT_COMPRESSION : 0);
        zipWriteInFileInZip(zip, entry.second.constData(), entry.second.size());
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    QFile file(dir.filePath("image.zip"));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray encrypted(QByteArray image) {
    seedEncryptBuffer(reinterpret_cast<unsigned char*>(image.data()), image.size(), kResourceKey);
    return image;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(data);
    return file.fileName();
}

struct Opened {
    std::unique_ptr<ResourceArchive> reader;
    QByteArray output;
};

Opened open(const QString& path, const ProgressCallback& progress = ProgressCallback()) {
    testsupport::FdCapture capture;
    Opened result;
    result.reader.reset(ResourceArchive::create(path.toStdString(), kResourceKey, progress));
    result.output = capture.take();
    return result;
}

QByteArray extracted(ResourceArchive* reader, const char* name, int& size) {
    std::unique_ptr<unsigned char[]> data(reader->extract(name, size));
    return data ? QByteArray(reinterpret_cast<const char*>(data.get()), size) : QByteArray();
}

} // namespace

// The encrypted archive: opening, entry lookup, the memory file functions and the
// loaders, with damaged and missing files.
class TestResourceArchive : public QObject {
    Q_OBJECT

private slots:
    void entries_data();
    void entries();
    void progressOfFortyBytes_data();
    void progressOfFortyBytes();
    void shortFileIsNotDecrypted();
    void badFiles_data();
    void badFiles();
    void emptyPathSaysNothing();
    void zeroLengthEntry();
    void picturesByName_data();
    void picturesByName();
    void damagedEntry_data();
    void damagedEntry();
    void memSeekBounds_data();
    void memSeekBounds();
    void memReadWrite();
    void pseudoNames_data();
    void pseudoNames();
    void loadersWithoutReader();
    void shippedArchiveHasEveryEntry();
    void destructorReportsPath();
    void defaultReaders_data();
    void defaultReaders();
    void defaultReadersFollowTheFile();
};

void TestResourceArchive::entries_data() {
    QTest::addColumn<bool>("deflate");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("found");
    const struct {
        const char* what;
        QByteArray name;
        bool found;
    } names[] = {{"exact", "main/base.png", true},
                 {"other case", "Main/base.png", false},
                 {"non-ASCII", "script/공지.xml", true},
                 {"missing", "main/none.png", false},
                 {"folder part only", "main", false},
                 {"empty name", "", false},
                 {"name of 300 bytes", QByteArray(300, 'a'), false}};
    for (bool deflate : {true, false}) {
        for (const auto& entry : names) {
            const QString tag = QString("%1 %2").arg(deflate ? "deflated" : "stored", entry.what);
            QTest::newRow(qPrintable(tag)) << deflate << entry.name << entry.found;
        }
    }
}

void TestResourceArchive::entries() {
    QFETCH(bool, deflate);
    QFETCH(QByteArray, name);
    QFETCH(bool, found);
    const QByteArray picture = testsupport::randomBytes(5000);
    const QByteArray text = QString("<msg idx=\"1\" text=\"공지\"/>").toUtf8().repeated(40);
    const Entries entries{{"main/base.png", picture}, {"script/공지.xml", text}};
    QTemporaryDir dir;
    Opened opened = open(writeFile(dir, "res.dat", encrypted(makeZip(entries, deflate))));
    QVERIFY(opened.reader);
    QCOMPARE(QString::fromUtf8(opened.output), QString::fromUtf8(kOpened));

    int size = -1;
    const QByteArray data = extracted(opened.reader.get(), name.constData(), size);
    if (!found) {
        QCOMPARE(size, 0);
        QVERIFY(data.isNull());
        return;
    }
    const QByteArray expected = name.startsWith("main") ? picture : text;
    QCOMPARE(size, expected.size());
    QCOMPARE(data, expected);
}

void TestResourceArchive::progressOfFortyBytes_data() {
    QTest::addColumn<int>("lead");
    QTest::addColumn<QList<int>>("offsets");
    // 40 bytes: two whole blocks, the 8-byte tail taken as it stands.
    QTest::newRow("40 bytes") << 18 << QList<int>{0, 16};
    // 48 bytes: the last block is whole and reported too.
    QTest::newRow("48 bytes") << 26 << QList<int>{0, 16, 32};
}

// An empty zip after leading bytes (the zip reader tolerates bytes before the archive):
// each whole block is reported as (size, offset) when decrypted, then the open as (1, 1).
void TestResourceArchive::progressOfFortyBytes() {
    QFETCH(int, lead);
    QFETCH(QList<int>, offsets);
    QByteArray image = makeZip({});
    QCOMPARE(image.size(), 22);
    image.prepend(QByteArray(lead, 'x'));
    const int size = image.size();
    const int whole = size / 16 * 16;
    QByteArray file = image;
    seedEncryptBuffer(reinterpret_cast<unsigned char*>(file.data()), whole, kResourceKey);
    QCOMPARE(file.mid(whole), image.mid(whole));

    QTemporaryDir dir;
    QList<QPair<int, int>> calls;
    Opened opened = open(writeFile(dir, "res.dat", file), [&calls](int a, int b) {
        calls.append({a, b});
    });
    QVERIFY(opened.reader);
    QList<QPair<int, int>> expected;
    for (int offset : offsets) {
        expected.append({size, offset});
    }
    expected.append({1, 1});
    QCOMPARE(calls, expected);
}

void TestResourceArchive::shortFileIsNotDecrypted() {
    QTemporaryDir dir;
    QList<QPair<int, int>> calls;
    Opened opened = open(writeFile(dir, "res.dat", "PK\x05\x06tiny"), [&calls](int a, int b) {
        calls.append({a, b});
    });
    QVERIFY(!opened.reader);
    QVERIFY(calls.isEmpty());
    QCOMPARE(QString::fromUtf8(opened.output), QString::fromUtf8(kNotOpened));
}

void TestResourceArchive::badFiles_data() {
    const QByteArray notRead("Get data from file(%1) failed!");
    const QByteArray notOpened(kNotOpened);
    testsupport::addRows<QString, QByteArray>("kind", "output",
                                              {{"missing", "missing", notRead},
                                               {"a folder", "folder", notRead},
                                               {"empty", "empty", QByteArray()},
                                               {"garbage", "garbage", notOpened},
                                               {"plain zip, not encrypted", "plain", notOpened},
                                               {"other key", "otherkey", notOpened},
                                               {"cut in half", "truncated", notOpened}});
}

void TestResourceArchive::badFiles() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, output);
    QTemporaryDir dir;
    const QByteArray zip = makeZip({{"a.txt", QByteArray(3000, 'a')}, {"b.txt", "b"}});
    QString path = dir.filePath("res.dat");
    if (kind == "folder") {
        QDir(dir.path()).mkdir("res.dat");
    } else if (kind == "empty") {
        writeFile(dir, "res.dat", QByteArray());
    } else if (kind == "garbage") {
        writeFile(dir, "res.dat", testsupport::randomBytes(4096));
    } else if (kind == "plain") {
        writeFile(dir, "res.dat", zip);
    } else if (kind == "otherkey") {
        QByteArray image = zip;
        const QByteArray key = testsupport::randomBytes(16);
        seedEncryptBuffer(reinterpret_cast<unsigned char*>(image.data()), image.size(),
                          reinterpret_cast<const unsigned char*>(key.constData()));
        writeFile(dir, "res.dat", image);
    } else if (kind == "truncated") {
        writeFile(dir, "res.dat", encrypted(zip).left(zip.size() / 2));
    }
    Opened opened = open(path);
    QVERIFY(!opened.reader);
    const QString expected = QString::fromUtf8(output);
    QCOMPARE(QString::fromUtf8(opened.output),
             expected.contains("%1") ? expected.arg(path) : expected);
}

void TestResourceArchive::emptyPathSaysNothing() {
    Opened opened = open(QString());
    QVERIFY(!opened.reader);
    QVERIFY(opened.output.isEmpty());
}

void TestResourceArchive::zeroLengthEntry() {
    QTemporaryDir dir;
    const Entries entries{{"empty.png", QByteArray()}, {"b.txt", "b"}};
    Opened opened = open(writeFile(dir, "res.dat", encrypted(makeZip(entries))));
    QVERIFY(opened.reader);
    int size = -1;
    std::unique_ptr<unsigned char[]> data(opened.reader->extract("empty.png", size));
    QVERIFY(data != nullptr);
    QCOMPARE(size, 0);
    std::unique_ptr<QByteArray> bytes(loadBytes(opened.reader.get(), "empty.png"));
    QVERIFY(bytes);
    QVERIFY(bytes->isEmpty());
    QVERIFY(loadPixmap(opened.reader.get(), "empty.png").isNull());
}

void TestResourceArchive::picturesByName_data() {
    QImage picture(3, 2, QImage::Format_Indexed8);
    picture.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 0)});
    picture.fill(1);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(picture.save(&buffer, "PNG"));
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("decoded");
    QTest::newRow("named for its format") << QByteArray("a.png") << png << true;
    QTest::newRow("upper-case suffix") << QByteArray("a.PNG") << png << true;
    QTest::newRow("named for another format") << QByteArray("a.gif") << png << true;
    QTest::newRow("no suffix") << QByteArray("a") << png << true;
    QTest::newRow("not a picture") << QByteArray("b.png") << QByteArray("not a picture") << false;
}

void TestResourceArchive::picturesByName() {
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, decoded);
    QTemporaryDir dir;
    Opened opened = open(writeFile(dir, "res.dat", encrypted(makeZip({{name, bytes}}))));
    QVERIFY(opened.reader);
    const QPixmap pixmap = loadPixmap(opened.reader.get(), QString::fromLatin1(name));
    QCOMPARE(!pixmap.isNull(), decoded);
    if (decoded) {
        QCOMPARE(pixmap.size(), QSize(3, 2));
        QCOMPARE(pixmap.toImage().pixel(2, 1), qRgb(200, 100, 0));
    }
    // Decoded ahead by a worker, or by the caller when no worker has started it: the same
    // picture; one never decoded ahead and missing is still null.
    for (const bool worker : {true, false}) {
        PicturesAhead::expect({QString::fromLatin1(name), "missing.png"});
        if (worker) {
            std::async(std::launch::async, PicturesAhead::decodeExpected, opened.reader.get())
                .wait();
        }
        const QPixmap ahead = PicturesAhead::pixmap(opened.reader.get(), QString::fromLatin1(name));
        QCOMPARE(ahead.toImage(), pixmap.toImage());
        QVERIFY(PicturesAhead::pixmap(opened.reader.get(), "missing.png").isNull());
        PicturesAhead::clear();
    }
}

void TestResourceArchive::damagedEntry_data() {
    testsupport::addRows<bool, int>("deflate", "offsetInData",
                                    {{"stored, CRC mismatch", false, 100},
                                     {"deflated, flipped byte", true, 10},
                                     {"deflated, first byte", true, 0}});
}

// A damaged entry no longer comes back as a good buffer of its declared size.
void TestResourceArchive::damagedEntry() {
    QFETCH(bool, deflate);
    QFETCH(int, offsetInData);
    const QByteArray content = QByteArray("text that compresses well ").repeated(200);
    QByteArray zip = makeZip({{"doc.txt", content}, {"ok.txt", "fine"}}, deflate);
    // The first local header is at 0: 30 bytes plus the name, then the entry's data.
    const int dataStart = 30 + int(strlen("doc.txt"));
    zip[dataStart + offsetInData] = static_cast<char>(zip[dataStart + offsetInData] ^ 0x5a);

    QTemporaryDir dir;
    Opened opened = open(writeFile(dir, "res.dat", encrypted(zip)));
    QVERIFY(opened.reader);
    int size = -1;
    std::unique_ptr<unsigned char[]> data(opened.reader->extract("doc.txt", size));
    QVERIFY(data == nullptr);
    QCOMPARE(size, 0);
    std::unique_ptr<QByteArray> bytes(loadBytes(opened.reader.get(), "doc.txt"));
    QVERIFY(!bytes);
    // The archive stays usable for its good entries.
    QCOMPARE(extracted(opened.reader.get(), "ok.txt", size), QByteArray("fine"));
}

void TestResourceArchive::memSeekBounds_data() {
    QTest::addColumn<int>("origin");
    QTest::addColumn<unsigned>("offset");
    QTest::addColumn<long>("result");
    QTest::addColumn<unsigned>("position");
    // The buffer is 64 bytes; the position starts at 10.
    QTest::newRow("set to size") << ZLIB_FILEFUNC_SEEK_SET << 64u << 0L << 64u;
    QTest::newRow("set past size") << ZLIB_FILEFUNC_SEEK_SET << 65u << 1L << 10u;
    QTest::newRow("cur to size") << ZLIB_FILEFUNC_SEEK_CUR << 54u << 0L << 64u;
    QTest::newRow("cur past size") << ZLIB_FILEFUNC_SEEK_CUR << 55u << 1L << 10u;
    QTest::newRow("end") << ZLIB_FILEFUNC_SEEK_END << 0u << 0L << 64u;
    QTest::newRow("end past size") << ZLIB_FILEFUNC_SEEK_END << 1u << 1L << 10u;
    QTest::newRow("end, 32-bit wrap back") << ZLIB_FILEFUNC_SEEK_END << 0xfffffff0u << 0L << 48u;
    QTest::newRow("unknown origin") << 7 << 0u << -1L << 10u;
}

void TestResourceArchive::memSeekBounds() {
    QFETCH(int, origin);
    QFETCH(unsigned, offset);
    QFETCH(long, result);
    QFETCH(unsigned, position);
    QByteArray buffer(64, 'x');
    const std::string name = memoryFileName(buffer.constData(), buffer.size());
    void* file = memOpen(nullptr, name.c_str(), ZLIB_FILEFUNC_MODE_READ);
    QVERIFY(file);
    QCOMPARE(memSeek(nullptr, file, 10, ZLIB_FILEFUNC_SEEK_SET), 0L);
    QCOMPARE(memSeek(nullptr, file, offset, origin), result);
    QCOMPARE(memTell(nullptr, file), long(position));
    QCOMPARE(memError(nullptr, file), 0);
    QCOMPARE(memClose(nullptr, file), 0);
}

// Reads stop at the buffer's end; a file opened for creation starts with no data, and
// seeking beyond its data zero-fills the gap.
void TestResourceArchive::memReadWrite() {
    QByteArray buffer("0123456789abcdef");
    const std::string name = memoryFileName(buffer.constData(), buffer.size());
    void* file = memOpen(nullptr, name.c_str(), ZLIB_FILEFUNC_MODE_READ);
    char out[32] = {};
    QCOMPARE(memRead(nullptr, file, out, 10), 10ul);
    QCOMPARE(memRead(nullptr, file, out, 10), 6ul);
    QCOMPARE(QByteArray(out, 6), QByteArray("abcdef"));
    QCOMPARE(memRead(nullptr, file, out, 10), 0ul);
    memClose(nullptr, file);

    file = memOpen(nullptr, name.c_str(), ZLIB_FILEFUNC_MODE_CREATE | ZLIB_FILEFUNC_MODE_WRITE);
    QCOMPARE(memSeek(nullptr, file, 0, ZLIB_FILEFUNC_SEEK_END), 0L);
    QCOMPARE(memTell(nullptr, file), 0L);
    QCOMPARE(memWrite(nullptr, file, "AB", 2), 2ul);
    QCOMPARE(memSeek(nullptr, file, 6, ZLIB_FILEFUNC_SEEK_SET), 0L);
    QCOMPARE(buffer.left(6), QByteArray("AB\0\0\0\0", 6));
    QCOMPARE(memWrite(nullptr, file, "0123456789abcdefXYZ", 19), 10ul);
    QCOMPARE(memSeek(nullptr, file, 0, ZLIB_FILEFUNC_SEEK_END), 0L);
    QCOMPARE(memTell(nullptr, file), 16L);
    memClose(nullptr, file);
}

void TestResourceArchive::pseudoNames_data() {
    testsupport::addRows<QByteArray>("name", {{"zero address", QByteArray("0 40")},
                                              {"zero size", QByteArray("7fff0000 0")},
                                              {"no size", QByteArray("7fff0000")},
                                              {"not hexadecimal", QByteArray("zz 40")},
                                              {"size not hexadecimal", QByteArray("7fff0000 zz")},
                                              {"empty", QByteArray("")}});
}

void TestResourceArchive::pseudoNames() {
    QFETCH(QByteArray, name);
    QVERIFY(memOpen(nullptr, name.constData(), ZLIB_FILEFUNC_MODE_READ) == nullptr);
    zlib_filefunc_def functions;
    fillMemoryFileFunctions(functions);
    QVERIFY(functions.opaque == nullptr);
    QVERIFY(unzOpen2(name.constData(), &functions) == nullptr);
    QVERIFY(openZipFromMemory(name.constData(), 0) == nullptr);
}

void TestResourceArchive::loadersWithoutReader() {
    QVERIFY(loadPixmap(nullptr, "main/base.png").isNull());
    QVERIFY(loadBytes(nullptr, "script/msg.xml") == nullptr);
}

// The archive the build ships holds every entry the launcher asks for, and the
// pictures decode.
void TestResourceArchive::shippedArchiveHasEveryEntry() {
    Opened opened = open("../../resource/res.dat");
    QVERIFY2(opened.reader, "run from the run tree");
    const QStringList pictures{
        "main/base.png",         "main/7poker.png",      "main/7poker_push.png",
        "main/7poker_roll.png",  "main/gos.png",         "main/gos_push.png",
        "main/gos_roll.png",     "main/hongs.png",       "main/hongs_push.png",
        "main/hongs_roll.png",   "main/majong.png",      "main/majong_push.png",
        "main/majong_roll.png",  "main/down.png",        "main/refresh.png",
        "main/refresh_push.png", "main/refreshroll.png", "main/exit.png",
        "main/exitpush.png",     "main/exitroll.png",    "main/charge.png",
        "main/chargepush.png",   "main/chargeroll.png",  "main/up.png",
        "main/min.png",          "main/exitsmall.png",   "main/menu.png",
        "main/menupush.png",     "main/divide.png",      "login/logbase.png",
        "login/login.png",       "login/login_push.png", "login/login_roll.png",
        "login/join.png",        "login/join_push.png",  "login/join_roll.png",
        "login/check.png",       "login/checkin.png",    "install/instbase.png"};
    QCOMPARE(pictures.size(), 39);
    for (const QString& name : pictures) {
        QVERIFY2(!loadPixmap(opened.reader.get(), name).isNull(), qPrintable(name));
    }
    for (const char* name : {"font/simhei.ttf", "script/msg.xml", "script/server.xml"}) {
        std::unique_ptr<QByteArray> bytes(loadBytes(opened.reader.get(), name));
        QVERIFY2(bytes && !bytes->isEmpty(), name);
    }
    const QPixmap base = loadPixmap(opened.reader.get(), "main/base.png");
    QCOMPARE(base.size(), QSize(1024, 611));
    QCOMPARE(base.depth(), 8); // a palette picture keeps its one byte a pixel
}

void TestResourceArchive::destructorReportsPath() {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "res.dat", encrypted(makeZip({{"a", "b"}})));
    Opened opened = open(path);
    QVERIFY(opened.reader);
    testsupport::FdCapture capture;
    opened.reader.reset();
    QCOMPARE(QString::fromUtf8(capture.take()), QString("%1 압축 파일을 닫았습니다.").arg(path));
}

void TestResourceArchive::defaultReaders_data() {
    // "released": each reader is deleted at once, while its opening may still be running.
    testsupport::addRows<bool, bool>("archiveThere", "read",
                                     {{"archive there, read", true, true},
                                      {"archive there, released", true, false},
                                      {"no archive, read", false, true},
                                      {"no archive, released", false, false}});
}

// The modules' readers open behind the caller's back, one after another: each one still
// opens the archive itself and reports it, and is read only once it has.
void TestResourceArchive::defaultReaders() {
    QFETCH(bool, archiveThere);
    QFETCH(bool, read);
    QTemporaryDir elsewhere; // its "../../resource/res.dat" does not exist
    const QString runFolder = QDir::currentPath();
    QVERIFY(archiveThere || QDir::setCurrent(elsewhere.path()));
    const int readers = 5;
    testsupport::FdCapture capture;
    std::vector<std::unique_ptr<ResourceArchive>> opened(readers);
    for (auto& reader : opened) {
        reader.reset(ResourceArchive::openDefault());
    }
    for (auto& reader : opened) {
        int size = -1;
        const QByteArray entry = read ? extracted(reader.get(), "script/msg.xml", size) : "";
        QVERIFY(!read || (size == entry.size() && entry.contains("<") == archiveThere));
    }
    opened.clear();
    const QByteArray output = capture.take();
    QDir::setCurrent(runFolder); // only now: the readers open from the working folder
    const QByteArray report =
        archiveThere ? QByteArray(kOpened) : "Get data from file(../../resource/res.dat) failed!";
    QCOMPARE(output.count(report), readers);
    QCOMPARE(output.count("res.dat 압축 파일을 닫았습니다."), archiveThere ? readers : 0);
    // Read, each had opened before the first was closed.
    QVERIFY2(!read || output.startsWith(report.repeated(readers)), output.constData());
}

// The modules' readers share one decrypted copy of the file; a reader opened after the file
// was rewritten reads the new file, and the older readers keep reading theirs.
void TestResourceArchive::defaultReadersFollowTheFile() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("resource") && QDir(dir.path()).mkpath("bin/release"));
    const QString runFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.filePath("bin/release")));
    testsupport::FdCapture capture;
    writeFile(dir, "resource/res.dat", encrypted(makeZip({{"v", "first"}})));
    std::unique_ptr<ResourceArchive> first(ResourceArchive::openDefault());
    std::unique_ptr<ResourceArchive> second(ResourceArchive::openDefault());
    int size = 0;
    const QByteArray fromSecond = extracted(second.get(), "v", size);
    writeFile(dir, "resource/res.dat", encrypted(makeZip({{"v", "second, longer"}})));
    std::unique_ptr<ResourceArchive> third(ResourceArchive::openDefault());
    const QByteArray fromThird = extracted(third.get(), "v", size);
    const QByteArray fromFirst = extracted(first.get(), "v", size);
    // Let go while unused, a reader opens the file as it is now when read again.
    ResourceArchive::releaseUnused(std::chrono::milliseconds(0));
    const QByteArray reopened = extracted(first.get(), "v", size);
    first.reset();
    second.reset();
    third.reset();
    QDir::setCurrent(runFolder);
    QCOMPARE(fromSecond, QByteArray("first"));
    QCOMPARE(fromThird, QByteArray("second, longer"));
    QCOMPARE(fromFirst, QByteArray("first"));
    QCOMPARE(reopened, QByteArray("second, longer"));
    QCOMPARE(capture.take().count(kOpened), 4);
}

QTEST_MAIN(TestResourceArchive)
#include "TestResourceArchive.moc"
