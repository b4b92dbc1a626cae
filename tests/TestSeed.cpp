#include <QtTest>

#include "DataRows.h"
#include "SeedVectors.h"
#include "TestSupport.h"
#include "archive/Seed.h"

// The cipher against the published RFC 4269 vectors, the file procedure's handling of
// whole blocks and tails, and OpenSSL's SEED as an independent reference.
class TestSeed : public QObject {
    Q_OBJECT

private slots:
    void vectors_data();
    void vectors();
    void fileProcedure_data();
    void fileProcedure();
    void paddedSize_data();
    void paddedSize();
    void againstOpenssl_data();
    void againstOpenssl();
};

static QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

void TestSeed::vectors_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");
    for (const SeedVector& v : kSeedVectors) {
        QTest::newRow(v.name) << hex(v.key) << hex(v.plain) << hex(v.cipher);
    }
}

void TestSeed::vectors() {
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);
    SeedRoundKeys rk;
    seedExpandKey(reinterpret_cast<const unsigned char*>(key.constData()), rk);

    QByteArray block = plain;
    seedEncryptBlock(reinterpret_cast<unsigned char*>(block.data()), rk);
    QCOMPARE(block.toHex(), cipher.toHex());

    block = cipher;
    seedDecryptBlock(reinterpret_cast<unsigned char*>(block.data()), rk);
    QCOMPARE(block.toHex(), plain.toHex());
}

void TestSeed::fileProcedure_data() {
    QTest::addColumn<int>("size");
    // Past 512 bytes, processors with AVX-512 byte permutes take 32 blocks per pass; the
    // blocks left over go four, then one at a time.
    for (int size : {0, 1, 7, 15, 16, 17, 32, 33, 64, 65, 79, 80, 512, 597, 1024 + 64 + 31}) {
        QTest::newRow(qPrintable(QString("%1 bytes").arg(size))) << size;
    }
}

// Whole blocks are processed exactly as single blocks would be; the tail stays as it was.
void TestSeed::fileProcedure() {
    QFETCH(int, size);
    const QByteArray plain = testsupport::randomBytes(size);
    QByteArray buffer = plain;
    seedEncryptBuffer(reinterpret_cast<unsigned char*>(buffer.data()), buffer.size(), kResourceKey);

    SeedRoundKeys rk;
    seedExpandKey(kResourceKey, rk);
    const int whole = size / 16 * 16;
    for (int offset = 0; offset < whole; offset += 16) {
        QByteArray block = plain.mid(offset, 16);
        seedEncryptBlock(reinterpret_cast<unsigned char*>(block.data()), rk);
        QCOMPARE(buffer.mid(offset, 16).toHex(), block.toHex());
    }
    QCOMPARE(buffer.mid(whole), plain.mid(whole));
    if (whole > 0) {
        QVERIFY(buffer.left(whole) != plain.left(whole));
    }

    seedDecryptBuffer(reinterpret_cast<unsigned char*>(buffer.data()), buffer.size(), kResourceKey);
    QCOMPARE(buffer, plain);
}

void TestSeed::paddedSize_data() {
    testsupport::addRows<int, int>("size", "padded",
                                   {{"empty", 0, 0},
                                    {"one", 1, 16},
                                    {"exact block", 16, 16},
                                    {"32 stays", 32, 32},
                                    {"33 to 48", 33, 48},
                                    {"160 stays", 160, 160},
                                    {"161 to 176", 161, 176}});
}

void TestSeed::paddedSize() {
    QFETCH(int, size);
    QFETCH(int, padded);
    QCOMPARE(int(seedPaddedSize(size)), padded);
}

void TestSeed::againstOpenssl_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("projectKey");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("portable"); // the portable path forced, where the vector one runs
    for (int size : {16, 64, 4096, 65536 + 48}) {
        QTest::newRow(qPrintable(QString("%1 bytes, resource key").arg(size)))
            << size << true << 0 << false;
        QTest::newRow(qPrintable(QString("%1 bytes, random key").arg(size)))
            << size << false << 0 << false;
    }
    // Buffers need no alignment, whichever path takes them.
    QTest::newRow("592 bytes at offset 1") << 592 << false << 1 << false;
    QTest::newRow("65584 bytes at offset 7") << 65536 + 48 << true << 7 << false;
    QTest::newRow("65584 bytes at offset 7, portable path") << 65536 + 48 << true << 7 << true;
}

// Both directions against OpenSSL: a symmetric mistake in our cipher would survive a
// round trip but not this.
void TestSeed::againstOpenssl() {
    QFETCH(int, size);
    QFETCH(bool, projectKey);
    QFETCH(int, offset);
    QFETCH(bool, portable);
    seedForcePortable(portable);
    const auto restore = qScopeGuard([] { seedForcePortable(false); });
    qInfo("%s path", seedActivePath() == SeedPath::Vector ? "vector" : "portable");
    const QByteArray key = projectKey ? QByteArray(reinterpret_cast<const char*>(kResourceKey), 16)
                                      : testsupport::randomBytes(16);
    const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
    const QByteArray plain = testsupport::randomBytes(size);

    QByteArray ours = QByteArray(offset, 'x') + plain;
    seedEncryptBuffer(reinterpret_cast<unsigned char*>(ours.data()) + offset, size, k);
    const QByteArray theirs = testsupport::opensslSeed(plain, key, true);
    QCOMPARE(theirs.size(), size);
    QVERIFY(ours.mid(offset) == theirs);
    QCOMPARE(ours.left(offset), QByteArray(offset, 'x'));

    const QByteArray cipher = testsupport::randomBytes(size);
    QByteArray decrypted = QByteArray(offset, 'x') + cipher;
    seedDecryptBuffer(reinterpret_cast<unsigned char*>(decrypted.data()) + offset, size, k);
    QVERIFY(decrypted.mid(offset) == testsupport::opensslSeed(cipher, key, false));
}

QTEST_GUILESS_MAIN(TestSeed)
#include "TestSeed.moc"
