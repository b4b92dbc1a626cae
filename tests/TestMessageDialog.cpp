#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

#include "MessageDialog.h"

// The one path of the window's message boxes: a modal box with OK only, its text never
// rendered as markup, and a handler that tests put in its place.
class TestMessageDialog : public QObject {
    Q_OBJECT

private slots:
    void boxShowsPlainText_data();
    void boxShowsPlainText();
    void handlerReplacesTheBox();
};

void TestMessageDialog::boxShowsPlainText_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("catalogue text") << "The update failed.";
    QTest::newRow("markup from the service") << "<b>bold</b><img src=\"http://127.0.0.1/x.png\">";
}

void TestMessageDialog::boxShowsPlainText() {
    QFETCH(QString, text);
    QString shownText;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        shownText = box->text();
        format = box->textFormat();
        buttons = box->standardButtons();
        QCOMPARE(box->parentWidget(), nullptr);
        box->button(QMessageBox::Ok)->click();
    });
    MessageDialog::show(text);
    QCOMPARE(shownText, text);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestMessageDialog::handlerReplacesTheBox() {
    QStringList seen;
    MessageDialog::setHandler([&seen](const QString& text) { seen << text; });
    MessageDialog::show("first");
    MessageDialog::show("second");
    MessageDialog::setHandler(nullptr);
    QCOMPARE(seen, (QStringList{"first", "second"}));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(TestMessageDialog)
#include "TestMessageDialog.moc"
