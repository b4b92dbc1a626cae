#include <memory>
#include <vector>

#include <QtTest>

#include <QAbstractItemView>
#include <QBackingStore>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "ButtonReports.h"
#include "DataRows.h"
#include "Pictures.h"
#include "RunTreeFixture.h"
#include "archive/ResourceArchive.h"
#include "utility/SaveData.h"
#include "utility/XmlMsgParser.h"
#include "widgets/LoginView.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonToggle.h"

using Users = QMap<QString, QString>;
Q_DECLARE_METATYPE(Users)

namespace {

using testsupport::testReader;

// Puts the saved data in the given state, in memory only.
void setSaved(bool isSave, const Users& users) {
    auto* saved = utility::SaveData::getInstance();
    saved->setIsSave(false); // forgets earlier users
    // Users may be in memory with remembering off too; the dialog lists them all.
    for (auto it = users.cbegin(); it != users.cend(); ++it) {
        saved->setUser(it.key(), it.value());
    }
    if (isSave) {
        saved->setIsSave(true);
    }
}

// A dialog with every event recorded, shown as the main window shows it.
struct Dialog : testsupport::ButtonReports {
    QWidget owner;
    LoginView* view;

    Dialog() {
        owner.resize(1024, 768);
        view = new LoginView(&owner);
        record(view, {0, 1, 2, 3});
        owner.show();
        view->show();
    }
    template <typename T> T* child(const char* name) const { return view->findChild<T*>(name); }
    QComboBox* idBox() const { return child<QComboBox>("idBox"); }
    QLineEdit* passwordEdit() const { return child<QLineEdit>("passwordEdit"); }
};

} // namespace

// The login dialog: pre-filling from the saved data, choosing an id, keys that must do
// nothing, the remembered login written before the login is reported, and closing.
class TestLoginView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void prefill_data();
    void prefill();
    void choosingAnIdFillsItsPassword();
    void typedUnknownIdKeepsPassword();
    void keysDoNothing_data();
    void keysDoNothing();
    void loginPressSavesFirstWhenRemembering_data();
    void loginPressSavesFirstWhenRemembering();
    void closeReportsEventThree();
    void buttonsReportTheirStates_data();
    void buttonsReportTheirStates();
    void windowShape();
    void captions();

private:
    QString dataFile() const { return (tree->root() + "/Launcher/resource/app.dat"); }

    // Every test runs two levels below a resource folder of its own, so that nothing
    // the dialog saves can reach the run tree's app.dat.
    std::unique_ptr<testsupport::RunTreeFixture> tree;
};

void TestLoginView::initTestCase() {
    QVERIFY(testReader() != nullptr);
    QCOMPARE(testsupport::registerShippedFont(), 0);
    QVERIFY(utility::XmlMsgParser::getInstance()->load("script/msg.xml"));
}

void TestLoginView::init() {
    tree = std::make_unique<testsupport::RunTreeFixture>();
    QVERIFY(tree->isValid());
    setSaved(false, Users());
}

void TestLoginView::cleanup() {
    tree.reset();
}

void TestLoginView::prefill_data() {
    QTest::addColumn<bool>("isSave");
    QTest::addColumn<Users>("users");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("password");

    QTest::newRow("nothing saved") << false << Users() << QStringList() << QString();
    QTest::newRow("remembering, no users") << true << Users() << QStringList() << QString();
    QTest::newRow("one user") << true << Users{{"alice", "pw1"}} << QStringList{"alice"}
                              << QStringLiteral("pw1");
    QTest::newRow("several, smallest first")
        << true << Users{{"zed", "zpw"}, {"bob", "bpw"}, {"mia", "mpw"}}
        << QStringList{"bob", "mia", "zed"} << QStringLiteral("bpw");
    QTest::newRow("first password empty")
        << true << Users{{"amy", ""}, {"ben", ""}, {"cid", "cpw"}, {"dan", "dpw"}}
        << QStringList{"amy", "ben", "cid", "dan"} << QStringLiteral("cpw");
    QTest::newRow("upper case sorts first") << true << Users{{"bob", "lower"}, {"Bob", "upper"}}
                                            << QStringList{"Bob", "bob"} << QStringLiteral("upper");
    QTest::newRow("not remembering")
        << false << Users{{"eve", "epw"}} << QStringList{"eve"} << QStringLiteral("epw");
}

void TestLoginView::prefill() {
    QFETCH(bool, isSave);
    QFETCH(Users, users);
    QFETCH(QStringList, items);
    QFETCH(QString, password);
    setSaved(isSave, users);

    Dialog dialog;
    QStringList shown;
    for (int i = 0; i < dialog.idBox()->count(); ++i) {
        shown << dialog.idBox()->itemText(i);
    }
    QCOMPARE(shown, items);
    QCOMPARE(dialog.view->userId(), items.value(0));
    QCOMPARE(dialog.view->password(), password);
    QCOMPARE(dialog.passwordEdit()->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.child<ZVButtonToggle>("saveBox")->isOn(), isSave);
    QVERIFY(dialog.reports.empty());
}

void TestLoginView::choosingAnIdFillsItsPassword() {
    setSaved(true, Users{{"alice", "apw"}, {"bob", "bpw"}, {"carol", "cpw"}});
    Dialog dialog;
    QVERIFY(QTest::qWaitForWindowExposed(dialog.view));
    QCOMPARE(dialog.view->password(), QStringLiteral("apw"));

    // Pick "carol" from the open list, with the mouse.
    QComboBox* box = dialog.idBox();
    box->showPopup();
    QAbstractItemView* list = box->view();
    QTRY_VERIFY(list->isVisible());
    const QRect row = list->visualRect(box->model()->index(2, 0));
    QVERIFY(row.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    QTRY_VERIFY(!list->isVisible());
    QCOMPARE(dialog.view->userId(), QStringLiteral("carol"));
    QCOMPARE(dialog.view->password(), QStringLiteral("cpw"));
    QVERIFY(dialog.reports.empty());
}

void TestLoginView::typedUnknownIdKeepsPassword() {
    setSaved(true, Users{{"alice", "apw"}, {"bob", "bpw"}});
    Dialog dialog;
    QVERIFY(QTest::qWaitForWindowExposed(dialog.view));
    QLineEdit* editor = dialog.idBox()->lineEdit();
    QVERIFY(editor);

    // A known id typed and confirmed also counts as chosen.
    editor->clear();
    QTest::keyClicks(editor, "bob");
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(dialog.view->password(), QStringLiteral("bpw"));

    // An id without a saved entry leaves the password as typed.
    dialog.passwordEdit()->setText(QStringLiteral("typed secret"));
    editor->clear();
    QTest::keyClicks(editor, "newcomer");
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(dialog.view->userId(), QStringLiteral("newcomer"));
    QCOMPARE(dialog.view->password(), QStringLiteral("typed secret"));
    QVERIFY(dialog.view->isVisible());
    QVERIFY(dialog.reports.empty());
}

void TestLoginView::keysDoNothing_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("key");
    for (const char* target : {"idBox", "passwordEdit", "dialog"}) {
        QTest::newRow(QByteArray(target).append(" Return").constData())
            << target << int(Qt::Key_Return);
        QTest::newRow(QByteArray(target).append(" Enter").constData())
            << target << int(Qt::Key_Enter);
        QTest::newRow(QByteArray(target).append(" Escape").constData())
            << target << int(Qt::Key_Escape);
    }
}

void TestLoginView::keysDoNothing() {
    QFETCH(QString, target);
    QFETCH(int, key);
    setSaved(true, Users{{"alice", "apw"}});
    Dialog dialog;
    QVERIFY(QTest::qWaitForWindowExposed(dialog.view));
    QSignalSpy finished(dialog.view, &QDialog::finished);
    QWidget* widget = dialog.view;
    if (target == "idBox") {
        widget = dialog.idBox()->lineEdit();
    } else if (target == "passwordEdit") {
        widget = dialog.passwordEdit();
    }
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key(key));
    QTest::qWait(0);
    QVERIFY(dialog.view->isVisible());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(dialog.view->result(), 0);
    QVERIFY(dialog.reports.empty());
    QCOMPARE(dialog.view->password(), QStringLiteral("apw"));
    // With the box ticked, a login would have written the saved data.
    QVERIFY(!QFileInfo::exists(dataFile()));
}

void TestLoginView::loginPressSavesFirstWhenRemembering_data() {
    testsupport::addRows<bool>("remember", {{"box ticked", true}, {"box not ticked", false}});
}

void TestLoginView::loginPressSavesFirstWhenRemembering() {
    QFETCH(bool, remember);
    const QString dataFile = this->dataFile();
    QVERIFY(!QFileInfo::exists(dataFile));
    setSaved(remember, Users{{"alice", "apw"}});
    Dialog dialog;
    QVERIFY(QTest::qWaitForWindowExposed(dialog.view));
    QCOMPARE(dialog.child<ZVButtonToggle>("saveBox")->isOn(), remember);
    auto* login = dialog.child<ZVButton>("loginButton");
    QVERIFY(login);

    // What the file looked like when each report arrived.
    std::vector<std::pair<int, bool>> seen;
    dialog.view->setCallback(0, [&](QPushButton* button, int state) {
        QCOMPARE(button, static_cast<QPushButton*>(login));
        seen.emplace_back(state, QFileInfo::exists(dataFile));
    });
    QTest::mousePress(login, Qt::LeftButton);
    QTest::mouseRelease(login, Qt::LeftButton);

    QCOMPARE(seen.size(), std::size_t(2));
    QCOMPARE(seen[0].first, 1);
    QCOMPARE(seen[0].second, remember);
    QCOMPARE(seen[1].first, 0);
    QCOMPARE(QFileInfo::exists(dataFile), remember);
    if (remember) {
        const qint64 size = QFileInfo(dataFile).size();
        QVERIFY(size > 0);
        QCOMPARE(size % 16, qint64(0));
        // Read back from the file alone: the remembered login is in it.
        auto* saved = utility::SaveData::getInstance();
        saved->setIsSave(false);
        QVERIFY(saved->users().isEmpty());
        QVERIFY(saved->load());
        QVERIFY(saved->isSave());
        QCOMPARE(saved->users(), (Users{{"alice", "apw"}}));
    }
}

void TestLoginView::closeReportsEventThree() {
    Dialog dialog;
    QVERIFY(QTest::qWaitForWindowExposed(dialog.view));
    QVERIFY(dialog.view->close());
    QVERIFY(!dialog.view->isVisible());
    QCOMPARE(dialog.reports.size(), std::size_t(1));
    QCOMPARE(dialog.reports[0].event, 3);
    QCOMPARE(dialog.reports[0].button, nullptr);
    QCOMPARE(dialog.reports[0].state, 1);
}

void TestLoginView::buttonsReportTheirStates_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("event");
    QTest::addColumn<QList<int>>("states");
    QTest::newRow("login") << "loginButton" << 0 << QList<int>{2, 1, 0, 0};
    QTest::newRow("join") << "joinButton" << 1 << QList<int>{2, 1, 0, 0};
    QTest::newRow("remember twice") << "saveBox" << 2 << QList<int>{1, 0};
}

void TestLoginView::buttonsReportTheirStates() {
    QFETCH(QString, name);
    QFETCH(int, event);
    QFETCH(QList<int>, states);
    Dialog dialog;
    QVERIFY(QTest::qWaitForWindowExposed(dialog.view));
    auto* button = dialog.view->findChild<QPushButton*>(name);
    QVERIFY(button);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(button, &enter);
    QTest::mouseClick(button, Qt::LeftButton);
    if (name == "saveBox") {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);

    QCOMPARE(dialog.states(), states);
    QVERIFY(dialog.allFrom(button, event));
}

void TestLoginView::windowShape() {
    Dialog dialog;
    const QPixmap base = loadPixmap(testReader(), "login/logbase.png");
    QVERIFY(!base.isNull());
    // The owner's resize does not win over the picture's size.
    dialog.view->resize(569, 220);
    QCOMPARE(dialog.view->size(), base.size());
    QCOMPARE(dialog.view->minimumSize(), base.size());
    QCOMPARE(dialog.view->maximumSize(), base.size());
    QVERIFY(!dialog.view->isSizeGripEnabled());
    const Qt::WindowFlags flags = dialog.view->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    // A title and a close button, nothing else (Qt adds the title and system menu that
    // a close button needs).
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(!flags.testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(dialog.view->windowTitle(), utility::XmlMsgParser::getInstance()->message(0));
    QVERIFY(!dialog.view->isModal());
    QCOMPARE(dialog.view->parentWidget(), &dialog.owner);
    // Hidden, it gives back the memory it is drawn in; shown again, it is where it was.
    dialog.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.view));
    const QPoint at = dialog.view->windowHandle()->position();
    dialog.view->hide();
    QTRY_VERIFY(dialog.view->backingStore()->size().isEmpty());
    dialog.view->show();
    QCOMPARE(dialog.view->windowHandle()->position(), at);
}

void TestLoginView::captions() {
    Dialog dialog;
    auto* messages = utility::XmlMsgParser::getInstance();
    const QString family = QFontDatabase::applicationFontFamilies(0).first();
    const struct {
        const char* name;
        int message;
    } labels[] = {{"idLabel", 9}, {"passwordLabel", 10}, {"saveLabel", 11}};
    for (const auto& expected : labels) {
        auto* label = dialog.child<QLabel>(expected.name);
        QVERIFY2(label, expected.name);
        QVERIFY(!messages->message(expected.message).isEmpty());
        QCOMPARE(label->text(), messages->message(expected.message));
        QCOMPARE(label->font().family(), family);
        QCOMPARE(label->font().pointSize(), 12);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
    }
    const struct {
        const char* name;
        int message;
    } buttons[] = {{"loginButton", 7}, {"joinButton", 8}};
    for (const auto& expected : buttons) {
        auto* caption = dialog.child<ZVButton>(expected.name)->findChild<QLabel*>();
        QCOMPARE(caption->text(), messages->message(expected.message));
        QCOMPARE(caption->font().pointSize(), 16);
    }
    QCOMPARE(dialog.idBox()->palette().color(QPalette::Text), QColor(Qt::black));
    QVERIFY(dialog.idBox()->isEditable());
}

QTEST_MAIN(TestLoginView)
#include "TestLoginView.moc"
