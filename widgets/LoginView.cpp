#include "widgets/LoginView.h"

#include <utility>

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QTimer>

#include "archive/PicturesAhead.h"
#include "archive/ResourceArchive.h"
#include "utility/SaveData.h"
#include "utility/XmlMsgParser.h"
#include "widgets/ButtonSupport.h"
#include "widgets/LauncherStyle.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonToggle.h"

namespace {
// The login dialog's own archive reader, opened before main runs.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();
} // namespace

LoginView::LoginView(QWidget* parent) : QDialog(parent, Qt::WindowCloseButtonHint) {
    auto* messages = utility::XmlMsgParser::getInstance();
    setWindowTitle(messages->message(0));

    const QPixmap base = PicturesAhead::pixmap(archiveReader, "login/logbase.png");
    setFixedSize(base.size());
    setSizeGripEnabled(false);
    background = new QLabel(this);
    background->setObjectName("background");
    background->setPixmap(base);
    background->resize(base.size());
    background->move(0, 0);
    background->show();

    const QString family = launcherstyle::fontFamily();
    idLabel = createCaption("idLabel", family, QRect(38, 73, 95, 25), Qt::AlignCenter, 9);
    passwordLabel =
        createCaption("passwordLabel", family, QRect(38, 117, 95, 25), Qt::AlignCenter, 10);

    idBox = new QComboBox(this);
    idBox->setObjectName("idBox");
    idBox->setGeometry(150, 70, 230, 30);
    idBox->setEditable(true);
    QPalette boxPalette = idBox->palette();
    boxPalette.setBrush(QPalette::All, QPalette::Text, QBrush(Qt::black));
    idBox->setPalette(boxPalette);
    // activated(QString) is the signal that reports an id picked from the list; its
    // newer name textActivated is the same emission.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    connect(idBox, QOverload<const QString&>::of(&QComboBox::activated), this,
            [this](const QString& id) { onIdChosen(id); });
    QT_WARNING_POP

    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName("passwordEdit");
    passwordEdit->setGeometry(150, 115, 230, 30);
    passwordEdit->setEchoMode(QLineEdit::Password);

    loginButton = buttonsupport::createPictureButton(
        this, "loginButton", "login/login.png", "login/login_push.png", "login/login_roll.png",
        [this](QPushButton* button, int state) { onLogin(button, state); });
    loginButton->resize(139, 73);
    loginButton->move(405, 69);
    loginButton->setCaption(messages->message(7));

    joinButton = buttonsupport::createPictureButton(
        this, "joinButton", "login/join.png", "login/join_push.png", "login/join_roll.png",
        [this](QPushButton* button, int state) { report(EventJoin, button, state); });
    joinButton->resize(139, 34);
    joinButton->move(405, 155);
    joinButton->setCaption(messages->message(8));

    saveBox = new ZVButtonToggle(this);
    saveBox->setObjectName("saveBox");
    saveBox->setImage(ButtonReleased, "login/check.png");
    saveBox->setImage(ButtonPressed, "login/checkin.png");
    saveBox->setOn(false);
    saveBox->setCallback(
        [this](QPushButton* button, int state) { report(EventRemember, button, state); });
    saveBox->resize(40, 32);
    saveBox->move(70, 155);

    saveLabel = createCaption("saveLabel", family, QRect(120, 165, 200, 25), Qt::AlignLeft, 11);

    auto* saved = utility::SaveData::getInstance();
    saveBox->setOn(saved->isSave());
    const QMap<QString, QString>& users = saved->users();
    for (auto it = users.cbegin(); it != users.cend(); ++it) {
        idBox->addItem(it.key());
        if (passwordEdit->text().isEmpty()) {
            passwordEdit->setText(it.value());
        }
    }
}

LoginView::~LoginView() {
    callbacks.clear();
}

QLabel* LoginView::createCaption(const char* name, const QString& family, const QRect& geometry,
                                 Qt::Alignment alignment, int message) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    label->setFont(launcherstyle::font(family, 12));
    launcherstyle::setWhiteText(label);
    label->setText(utility::XmlMsgParser::getInstance()->message(message));
    return label;
}

void LoginView::setCallback(int event, ButtonCallback cb) {
    callbacks.set(event, std::move(cb));
}

QString LoginView::userId() const {
    return idBox->currentText();
}

QString LoginView::password() const {
    return passwordEdit->text();
}

void LoginView::report(int event, QPushButton* button, int state) {
    callbacks.dispatch(event, button, state);
}

void LoginView::onLogin(QPushButton* button, int state) {
    // A remembered login is on disk before the owner starts the exchange.
    if (state == ButtonPressed && saveBox->isOn()) {
        utility::SaveData::getInstance()->save();
    }
    report(EventLogin, button, state);
}

void LoginView::onIdChosen(const QString& id) {
    const QMap<QString, QString>& users = utility::SaveData::getInstance()->users();
    for (auto it = users.cbegin(); it != users.cend(); ++it) {
        if (it.key() == id) {
            passwordEdit->setText(it.value());
            return;
        }
    }
}

void LoginView::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    QTimer::singleShot(0, this, [this] {
        if (isHidden()) {
            destroy();
            // Made anew at once, hidden and where it was: its picture memory comes only with
            // the next showing, which centres it on the main window as before (a window made
            // without a position would be left where the window system puts it).
            setAttribute(Qt::WA_Moved);
            create();
            setAttribute(Qt::WA_Moved, false);
        }
    });
}

void LoginView::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    report(EventClosed, nullptr, ButtonPressed);
}

void LoginView::keyPressEvent(QKeyEvent* event) {
    Q_UNUSED(event);
}
