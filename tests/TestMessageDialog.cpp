#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

#include "DataRows.h"
#include "app/MessageDialog.h"
#include "widgets/TopMenuLayout.h"
#include "widgets/ZVButtonTab.h"

// The one path of the window's message boxes: a modal box with OK only, its text never
// rendered as markup, and a handler that tests put in its place.
class TestMessageDialog : public QObject {
    Q_OBJECT

private slots:
    void boxShowsPlainText_data();
    void boxShowsPlainText();
    void handlerReplacesTheBox();
    void boxDuringADrag_data();
    void boxDuringADrag();
};

void TestMessageDialog::boxShowsPlainText_data() {
    testsupport::addRows<QString>(
        "text", {{"catalogue text", "The update failed."},
                 {"markup from the service", "<b>bold</b><img src=\"http://127.0.0.1/x.png\">"}});
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

void TestMessageDialog::boxDuringADrag_data() {
    testsupport::addRows<bool>("answered", {{"the box itself", false}, {"the test hook", true}});
}

// The window is held by its top bar when a box opens (a refused refresh, say): one click on
// OK closes the box, and the next click on the bar's tabs acts as ever.
void TestMessageDialog::boxDuringADrag() {
    QFETCH(bool, answered);
    QWidget window;
    window.resize(1024, 200);
    auto* bar = new TopMenuLayout(&window);
    bar->resize(1024, 79);
    QList<int> events;
    for (int event = 2; event < 6; ++event) {
        bar->setCallback(event, [&events, event](QPushButton*, int) { events << event; });
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 10));
    QCOMPARE(QWidget::mouseGrabber(), bar);

    QWidget* grabbedDuringBox = bar;
    bool closed = false;
    if (answered) {
        MessageDialog::setHandler(
            [&](const QString&) { grabbedDuringBox = QWidget::mouseGrabber(); });
        MessageDialog::show("Login refused");
        MessageDialog::setHandler(nullptr);
    } else {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            grabbedDuringBox = QWidget::mouseGrabber();
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            QTest::mouseClick(ok, Qt::LeftButton);
            closed = !box->isVisible();
            if (!closed) {
                box->done(0); // do not hang the test on the fault it looks for
            }
        });
        MessageDialog::show("Login refused");
        QVERIFY(closed);
    }
    QCOMPARE(grabbedDuringBox, nullptr);
    QTest::mouseClick(bar->findChild<ZVButtonTab*>("tab2"), Qt::LeftButton);
    QCOMPARE(events, QList<int>{3});
}

QTEST_MAIN(TestMessageDialog)
#include "TestMessageDialog.moc"
