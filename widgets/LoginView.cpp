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

#include "archive/ResourceArchive.h"
#include "utility/SaveData.h"
#include "utility/XmlMsgParser.h"
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

    const QPixmap base = loadPixmap(archiveReader, "login/logbase.png");
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

    loginButton = new ZVButton(this);
    loginButton->setObjectName("loginButton");
    loginButton->setImage(0, "login/login.png");
    loginButton->setImage(1, "login/login_push.png");
    loginButton->setImage(2, "login/login_roll.png");
    loginButton->showImage(0);
    loginButton->setCallback([this](QPushButton* button, int state) { onLogin(button, state); });
    loginButton->resize(139, 73);
    loginButton->move(405, 69);
    loginButton->setCaption(messages->message(7));

    joinButton = new ZVButton(this);
    joinButton->setObjectName("joinButton");
    joinButton->setImage(0, "login/join.png");
    joinButton->setImage(1, "login/join_push.png");
    joinButton->setImage(2, "login/join_roll.png");
    joinButton->showImage(0);
    joinButton->setCallback([this](QPushButton* button, int state) { report(1, button, state); });
    joinButton->resize(139, 34);
    joinButton->move(405, 155);
    joinButton->setCaption(messages->message(8));

    saveBox = new ZVButtonToggle(this);
    saveBox->setObjectName("saveBox");
    saveBox->setImage(0, "login/check.png");
    saveBox->setImage(1, "login/checkin.png");
    saveBox->setOn(false);
    saveBox->setCallback([this](QPushButton* button, int state) { report(2, button, state); });
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
    callbacks[event] = std::move(cb);
}

QString LoginView::userId() const {
    return idBox->currentText();
}

QString LoginView::password() const {
    return passwordEdit->text();
}

void LoginView::report(int event, QPushButton* button, int state) {
    const auto found = callbacks.find(event);
    if (found != callbacks.end() && found->second) {
        found->second(button, state);
    }
}

void LoginView::onLogin(QPushButton* button, int state) {
    // A remembered login is on disk before the owner starts the exchange.
    if (state == 1 && saveBox->isOn()) {
        utility::SaveData::getInstance()->save();
    }
    report(0, button, state);
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

void LoginView::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    report(3, nullptr, 1);
}

void LoginView::keyPressEvent(QKeyEvent* event) {
    Q_UNUSED(event);
}
