#include <cstdio>
#include <cstring>

#include <sys/resource.h>

#include <QElapsedTimer>
#include <QTextCodec>
#include <QtTest>

#include "DataRows.h"
#include "TestSupport.h"
#include "utility/XmlMsgParser.h"

// The message catalogue: what a document stores under which number, the debug lines, the
// archive path, entity bombs, and the exit-time deletion of the program-wide instances.
class TestXmlMsgParser : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void declaredEncoding_data();
    void declaredEncoding();
    void messageInsertsEmptyEntry();
    void loadMissingEntry();
    void loadReplacesCatalogue();
    void entityBombs_data();
    void entityBombs();
    void singleInstance();
    void deletedAtExit_data();
    void deletedAtExit();
};

namespace {

using Entries = QMap<int, QString>;

// A catalogue of its own for every case; the program's instance is left alone.
class Catalogue : public utility::XmlMsgParser {};

// A singleton that leaves a mark on standard output when it is deleted.
class ExitProbe : public utility::SingleTon<ExitProbe> {
public:
    ~ExitProbe() override {
        std::fputs("probe deleted\n", stdout);
        std::fflush(stdout);
    }

protected:
    ExitProbe() = default;

private:
    friend class utility::SingleTon<ExitProbe>;
};

const char kDone[] = "^Reached end, done$";

QString xmlError(const QString& reason) {
    return QStringLiteral("^XML error: %1$").arg(QRegularExpression::escape(reason));
}

long peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray prolog(const QByteArray& declarations) {
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE catalogue [\n" + declarations + "]>\n";
}

// Ten times more at every level: lol9 would expand to three thousand million characters.
QByteArray laughDeclarations() {
    QByteArray declarations = "<!ENTITY lol0 \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        declarations += "<!ENTITY lol" + QByteArray::number(level) + " \"";
        for (int i = 0; i < 10; ++i) {
            declarations += "&lol" + QByteArray::number(level - 1) + ";";
        }
        declarations += "\">\n";
    }
    return declarations;
}

// One flat entity of 4000 characters referenced 100000 times: 400 million characters, and no
// nesting for the reader's own limit to catch.
QByteArray manyReferences() {
    return QByteArray("&big;").repeated(100000);
}
QByteArray bigDeclaration() {
    return "<!ENTITY big \"" + QByteArray(4000, 'a') + "\">\n";
}

QByteArray encode(const char* codec, const QString& text) {
    return QTextCodec::codecForName(codec)->fromUnicode(text);
}

} // namespace

void TestXmlMsgParser::parse_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<Entries>("expected");
    QTest::addColumn<QString>("log");

    QTest::newRow("leading zeros")
        << QByteArray("<c><msg idx=\"007\" text=\"seven\"/></c>") << Entries{{7, "seven"}} << kDone;
    QTest::newRow("non-numeric idx")
        << QByteArray("<c><msg idx=\"x\" text=\"ex\"/></c>") << Entries{{0, "ex"}} << kDone;
    QTest::newRow("missing idx") << QByteArray("<c><msg text=\"none\"/></c>")
                                 << Entries{{0, "none"}} << kDone;
    QTest::newRow("negative idx") << QByteArray("<c><msg idx=\"-3\" text=\"minus\"/></c>")
                                  << Entries{{-3, "minus"}} << kDone;
    QTest::newRow("later of equal numbers wins")
        << QByteArray("<c><msg idx=\"5\" text=\"first\"/><msg idx=\"6\" text=\"six\"/>"
                      "<msg idx=\"5\" text=\"second\"/></c>")
        << Entries{{5, "second"}, {6, "six"}} << kDone;
    QTest::newRow("nested at any depth")
        << QByteArray("<c><group><sub><msg idx=\"3\" text=\"deep\"/></sub></group>"
                      "<msg idx=\"4\" text=\"top\"><msg idx=\"8\" text=\"inside msg\"/></msg></c>")
        << Entries{{3, "deep"}, {4, "top"}, {8, "inside msg"}} << kDone;
    QTest::newRow("root may be msg")
        << QByteArray("<msg idx=\"2\" text=\"root\"/>") << Entries{{2, "root"}} << kDone;
    QTest::newRow("missing text") << QByteArray("<c><msg idx=\"9\"/></c>") << Entries{{9, ""}}
                                  << kDone;
    QTest::newRow("names are case-sensitive")
        << QByteArray("<c><MSG idx=\"1\" text=\"upper\"/><msg IDX=\"2\" Text=\"odd\"/></c>")
        << Entries{{0, ""}} << kDone;
    QTest::newRow("other attributes ignored")
        << QByteArray("<c><msg lang=\"ko\" idx=\"12\" note=\"x\" text=\"people\"/></c>")
        << Entries{{12, "people"}} << kDone;
    QTest::newRow("entities and character references")
        << QByteArray("<c><msg idx=\"1\" text=\"a &amp; b &lt;c&gt; &quot;&apos; "
                      "&#xD55C;&#44544;\"/></c>")
        << Entries{{1, QString::fromUtf8("a & b <c> \"' 한글")}} << kDone;
    QTest::newRow("entity of the document's own")
        << prolog("<!ENTITY maker \"Zorvan\">\n") +
               "<catalogue><msg idx=\"1\" text=\"&maker; games\"/></catalogue>"
        << Entries{{1, "Zorvan games"}} << kDone;
    QTest::newRow("many references without declarations")
        << QByteArray("<c><msg idx=\"1\" text=\"") + QByteArray("&amp;").repeated(50000) +
               "\"/></c>"
        << Entries{{1, QString(50000, '&')}} << kDone;
    QTest::newRow("broken off halfway")
        << QByteArray(
               "<c><msg idx=\"1\" text=\"one\"/><msg idx=\"2\" text=\"two\"/><msg idx=\"3\" te")
        << Entries{{1, "one"}, {2, "two"}} << xmlError("Premature end of document.");
    QTest::newRow("error after entries")
        << QByteArray("<c><msg idx=\"1\" text=\"one\"/><msg idx=\"2\" text=\"two\"></c>")
        << Entries{{1, "one"}, {2, "two"}} << xmlError("Opening and ending tag mismatch.");
    QTest::newRow("empty document")
        << QByteArray() << Entries{} << xmlError("Premature end of document.");
    QTest::newRow("no entries") << QByteArray("<?xml version=\"1.0\"?><c/>") << Entries{} << kDone;
}

void TestXmlMsgParser::parse() {
    QFETCH(QByteArray, xml);
    QFETCH(Entries, expected);
    QFETCH(QString, log);
    Catalogue catalogue;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(log));
    QVERIFY(catalogue.parse(xml));
    QCOMPARE(catalogue.entries(), expected);
}

void TestXmlMsgParser::declaredEncoding_data() {
    QTest::addColumn<QByteArray>("xml");
    const QString korean = QString::fromUtf8("접속자 수");
    const QString body = "<c><msg idx=\"12\" text=\"" + korean + "\"/></c>";
    QTest::newRow("EUC-KR named") << encode("EUC-KR",
                                            "<?xml version=\"1.0\" encoding=\"EUC-KR\"?>" + body);
    QTest::newRow("UTF-8 named") << encode("UTF-8",
                                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body);
    QTest::newRow("UTF-8 unnamed") << encode("UTF-8", "<?xml version=\"1.0\"?>" + body);
    QTest::newRow("no declaration") << encode("UTF-8", body);
    QTest::newRow("UTF-16 with byte order mark")
        << encode("UTF-16", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body);
}

// The bytes are decoded as the XML declaration or byte order mark says, not taken as UTF-8
// regardless.
void TestXmlMsgParser::declaredEncoding() {
    QFETCH(QByteArray, xml);
    Catalogue catalogue;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(kDone));
    catalogue.parse(xml);
    QCOMPARE(catalogue.entries(), (Entries{{12, QString::fromUtf8("접속자 수")}}));
}

void TestXmlMsgParser::messageInsertsEmptyEntry() {
    Catalogue catalogue;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(kDone));
    catalogue.parse("<c><msg idx=\"1\" text=\"one\"/></c>");
    QCOMPARE(catalogue.message(1), QString("one"));
    QCOMPARE(catalogue.entries().size(), 1);

    QVERIFY(catalogue.message(999).isEmpty());
    QCOMPARE(catalogue.entries(), (Entries{{1, "one"}, {999, ""}}));
    // Asking again finds the entry made the first time.
    QVERIFY(catalogue.message(999).isEmpty());
    QCOMPARE(catalogue.entries().size(), 2);
}

void TestXmlMsgParser::loadMissingEntry() {
    Catalogue catalogue;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(kDone));
    catalogue.parse("<c><msg idx=\"1\" text=\"one\"/><msg idx=\"2\" text=\"two\"/></c>");
    QCOMPARE(catalogue.entries().size(), 2);

    QVERIFY(!catalogue.load("script/no-such-catalogue.xml"));
    QVERIFY(catalogue.entries().isEmpty());
    QVERIFY(catalogue.message(1).isEmpty());
}

// The shipped catalogue, read through this module's archive reader as start-up does, has an
// entry for every number the launcher asks for; a second load starts from an empty catalogue.
void TestXmlMsgParser::loadReplacesCatalogue() {
    Catalogue catalogue;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(kDone));
    catalogue.parse("<c><msg idx=\"-42\" text=\"stale\"/></c>");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(kDone));
    QVERIFY(catalogue.load("script/msg.xml"));
    QVERIFY(!catalogue.entries().contains(-42));
    for (int id : {0,  1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11, 12,
                   13, 100, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209}) {
        QVERIFY2(catalogue.entries().contains(id), qPrintable(QString::number(id)));
    }
    QVERIFY(!catalogue.message(0).isEmpty());
}

void TestXmlMsgParser::entityBombs_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("log");
    const QString limitReached = xmlError("Entity expands to more characters than the entity "
                                          "expansion limit.");
    const QString refused = xmlError("Entity declarations could expand the document beyond "
                                     "4194304 characters.");

    // Nested bombs are stopped by the reader's own expansion limit.
    QTest::newRow("laughs in text")
        << prolog(laughDeclarations()) + "<catalogue><note>&lol9;</note></catalogue>"
        << limitReached;
    QTest::newRow("laughs in attribute")
        << prolog(laughDeclarations()) + "<catalogue><msg idx=\"1\" text=\"&lol9;\"/></catalogue>"
        << limitReached;
    QTest::newRow("self-reference") << prolog("<!ENTITY a \"&b;\">\n<!ENTITY b \"&a;\">\n") +
                                           "<catalogue><msg idx=\"1\" text=\"&a;\"/></catalogue>"
                                    << xmlError("Self-referencing entity detected.");
    // A flat entity referenced many times needs the check made before reading.
    QTest::newRow("many references in attribute")
        << prolog(bigDeclaration()) + "<catalogue><msg idx=\"1\" text=\"" + manyReferences() +
               "\"/></catalogue>"
        << refused;
    QTest::newRow("many references in text")
        << prolog(bigDeclaration()) + "<catalogue><note>" + manyReferences() + "</note></catalogue>"
        << refused;
    QTest::newRow("many references in attribute default")
        << prolog(bigDeclaration() + "<!ATTLIST msg text CDATA \"" + manyReferences() + "\">\n") +
               "<catalogue><msg idx=\"1\"/></catalogue>"
        << refused;
    QTest::newRow("many references in UTF-16")
        << encode("UTF-16", QString::fromLatin1(prolog(bigDeclaration()) +
                                                "<catalogue><msg idx=\"1\" text=\"" +
                                                manyReferences() + "\"/></catalogue>"))
        << refused;
    // Declared as UTF-7, where "<!" reads "+ADwAIQ-" and "&" reads "+ACY-": the bytes show
    // neither a declaration nor a single reference, the decoded text shows both.
    QTest::newRow("many references in UTF-7")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<!DOCTYPE catalogue [\n") +
               QByteArray(bigDeclaration()).replace("<!", "+ADwAIQ-") +
               "]>\n<catalogue><msg idx=\"1\" text=\"" + QByteArray("+ACY-big;").repeated(100000) +
               "\"/></catalogue>"
        << refused;
}

// A bomb ends quickly in an XML error with nothing read, and memory stays small: expanded,
// these documents would need gigabytes.
void TestXmlMsgParser::entityBombs() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, log);
    Catalogue catalogue;
    const long peakBefore = peakResidentKb();
    QElapsedTimer timer;
    timer.start();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(log));
    QVERIFY(catalogue.parse(xml));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY2(peakResidentKb() - peakBefore < 64 * 1024,
             qPrintable(QString("%1 kB more").arg(peakResidentKb() - peakBefore)));
    QVERIFY(catalogue.entries().isEmpty());
}

void TestXmlMsgParser::singleInstance() {
    utility::XmlMsgParser* first = utility::XmlMsgParser::getInstance();
    QVERIFY(first != nullptr);
    QCOMPARE(utility::XmlMsgParser::getInstance(), first);
}

void TestXmlMsgParser::deletedAtExit_data() {
    testsupport::addRows<QString, int>(
        "argument", "deletions",
        {{"created", "--probe-create", 1}, {"never created", "--probe-idle", 0}});
}

// This program run again in probe mode: the instance, if one was made, is deleted after main
// returns, exactly once.
void TestXmlMsgParser::deletedAtExit() {
    QFETCH(QString, argument);
    QFETCH(int, deletions);
    QByteArray out;
    QCOMPARE(testsupport::runProgram(QCoreApplication::applicationFilePath(), {argument}, &out), 0);
    QCOMPARE(out.count("probe deleted\n"), deletions);
}

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--probe-create") == 0) {
        ExitProbe::getInstance();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--probe-idle") == 0) {
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestXmlMsgParser test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestXmlMsgParser.moc"
