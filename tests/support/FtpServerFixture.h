#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// A real FTP server on 127.0.0.1 for the update tests: Debian's pyftpdlib (run by
// tests/support/ftp_fixture.py) serving a temporary tree read-only to user "u" (password
// "p" unless set) on a free port. It records the commands it received and can be made to
// fail: killed, stalled (stopped without closing anything), throttled, or listing names
// that do not exist. Lives on the test's thread; the destructor stops the server.
class FtpServerFixture {
public:
    struct Options {
        QByteArray password = "p";
        int bytesPerSecond = 0; // data connection rate limit, 0 for none
        // Names added to a folder's listing, keyed by FTP path ("/BoardGame/Poker").
        QMap<QString, QStringList> extraNames;
        // The code page of names on the wire, as Python names it ("cp949").
        QByteArray encoding = "utf8";
        // Drops the first download's data connection after this many bytes (0: never).
        qint64 cutAfter = 0;
        bool refuseRest = false;       // REST answered with 502
        bool namesOnly = false;        // MLSD answered with 500: names are listed by NLST alone
        int connectionsPerAddress = 0; // more are turned away with 421 (0: no limit)
    };

    FtpServerFixture();
    ~FtpServerFixture();
    FtpServerFixture(const FtpServerFixture&) = delete;
    FtpServerFixture& operator=(const FtpServerFixture&) = delete;

    bool start();
    bool start(const Options& options);
    bool isValid() const { return port != 0; }

    // The served tree on disk.
    QString rootPath() const;
    // Writes a file below the served tree, creating its folders.
    bool addFile(const QString& relPath, const QByteArray& data);
    bool addDir(const QString& relPath);

    // "ftp://u:<password>@127.0.0.1:<port>", with the right password unless one is given.
    QByteArray url(const QByteArray& password = QByteArray()) const;

    // The commands received so far, as "<COMMAND>" or "<COMMAND> <ftp path>", and
    // "SENT <COMMAND> <bytes>" for each data transfer that ended.
    QStringList commands() const;
    // The paths given to one command, in order (e.g. every "NLST"; "NLST|MLSD" for both).
    QStringList paths(const QString& command) const;
    // The files fetched (RETR), sorted: an update fetches several at once, in no fixed order.
    QStringList fetched() const;
    void clearCommands();
    // Bytes sent by the downloads (RETR) so far, all added up.
    qint64 bytesSent() const;

    // Ends the server at once: its connections close mid-transfer.
    void kill();
    // Freezes the server: its connections stay open but nothing more is sent.
    void stall();
    void resume();

private:
    QTemporaryDir dir;
    QProcess process;
    quint16 port = 0;
    QByteArray password;
    bool stalled = false;
};

} // namespace testsupport
