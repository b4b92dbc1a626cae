#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QTextStream;

// The resource tool for the people who ship the launcher: packs a folder into an
// encrypted resource archive, lists and reads one, and shows or writes saved login
// data. Every command reports failures on one line and writes nothing on failure.
class ResTool {
public:
    explicit ResTool(QTextStream& err);

    // Runs one command line (without the program name); returns the exit code.
    int run(const QStringList& args);

private:
    int pack(const QString& dir, const QString& out);
    int list(const QString& res);
    int cat(const QString& res, const QString& entry);
    int saveShow(const QString& appDat);
    int saveWrite(const QString& textFile, const QString& appDat);
    int usage();
    int fail(const QString& message);

    bool readFile(const QString& path, QByteArray& data);
    bool writeFile(const QString& path, const QByteArray& data);
    // Decrypts an archive image; false (with a message) when it is not a zip.
    bool openArchive(const QString& res, QByteArray& image, void*& zip);

    QTextStream& err;
    unsigned char key[16];
};
