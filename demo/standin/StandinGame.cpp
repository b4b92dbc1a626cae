// A stand-in for the four games of the demo: one program under four names. It shows
// which game it is and who logged in, and ends with exit code 1 when the player closes
// it normally (the launcher then takes the game to be current).
//
// For automated runs: when STANDIN_RECORD names a file, the program appends one line
// "<game>\t<argument count>\t<user id>\t<md5 of password>\t<working folder>" to it (followed
// by " (PWD <value>)" when $PWD names another folder), and
// STANDIN_AUTOCLOSE_MS closes the window by itself after that many milliseconds.
#include <QApplication>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QString gameName(const QString& program) {
    const QString base = QFileInfo(program).completeBaseName().toLower();
    for (const char* name : {"Poker", "Matgo", "Hongsip", "Majong"}) {
        if (base == QString(name).toLower()) {
            return name;
        }
    }
    return QFileInfo(program).completeBaseName();
}

void record(const QString& game, const QStringList& args) {
    const QByteArray path = qgetenv("STANDIN_RECORD");
    if (path.isEmpty()) {
        return;
    }
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::Append | QIODevice::Text)) {
        return;
    }
    const QByteArray passwordDigest =
        QCryptographicHash::hash(args.value(1).toUtf8(), QCryptographicHash::Md5).toHex();
    // A $PWD that names another folder than the working one is shown beside it.
    QString folder = QDir::currentPath();
    const QString pwd = qEnvironmentVariable("PWD");
    if (QFileInfo(pwd).canonicalFilePath() != QFileInfo(folder).canonicalFilePath()) {
        folder += " (PWD " + pwd + ")";
    }
    file.write(QStringList{game, QString::number(args.size()), args.value(0),
                           QString::fromLatin1(passwordDigest), folder}
                   .join('\t')
                   .toUtf8() +
               "\n");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString game = gameName(app.arguments().value(0));
    record(game, args);

    QWidget window;
    window.setWindowTitle(game);
    window.setFixedSize(480, 260);
    window.setStyleSheet("QWidget { background: #0d3b2e; color: white; }"
                         "QPushButton { background: #c9a227; color: #1b1b1b; padding: 8px 18px;"
                         " border-radius: 6px; font-weight: bold; }");
    auto* layout = new QVBoxLayout(&window);
    auto* title = new QLabel(QString("<h1>%1</h1>").arg(game.toHtmlEscaped()));
    title->setAlignment(Qt::AlignCenter);
    auto* player =
        new QLabel(args.size() == 2 ? QString("Logged in as <b>%1</b>").arg(args[0].toHtmlEscaped())
                                    : QString("Started with %1 arguments").arg(args.size()));
    player->setAlignment(Qt::AlignCenter);
    auto* close = new QPushButton("Leave the table");
    layout->addWidget(title);
    layout->addWidget(player);
    layout->addWidget(close, 0, Qt::AlignCenter);
    QObject::connect(close, &QPushButton::clicked, &window, &QWidget::close);

    const int autoClose = qEnvironmentVariableIntValue("STANDIN_AUTOCLOSE_MS");
    if (autoClose > 0) {
        QTimer::singleShot(autoClose, &window, &QWidget::close);
    }
    window.show();
    app.exec();
    // A normal end of the game: exit code 1 tells the launcher the game is current.
    return 1;
}
