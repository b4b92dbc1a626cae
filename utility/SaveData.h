#pragma once

#include <QMap>
#include <QString>

#include "utility/SingleTon.h"

namespace utility {

// The login the player asked to remember and the installed version of each game, kept in the
// encrypted file "../../resource/app.dat" (relative to the working directory at the time of
// each load or save). One instance for the program, GUI thread only.
class SaveData : public SingleTon<SaveData> {
public:
    // False when the file cannot be read or holds no text; true otherwise, also when the text
    // is not well-formed XML (what came before the error is kept).
    bool load();
    // Replaces the file as a whole: a failed write leaves the previous file as it was, and
    // any failed step gives false. Where the resource folder takes no new file, app.dat is
    // written in place: a longer document first takes its room at the end, so a full disk
    // leaves the old document; only a crash in the middle of the overwrite itself (a single
    // write of well under a page) can leave a mix.
    bool save();

    void setUser(const QString& id, const QString& password);
    // Turning remembering off forgets every stored user.
    void setIsSave(bool on);
    void setVersion(const QString& key, const QString& version);
    // "0.0" when nothing is stored under key.
    QString getVersion(const QString& key) const;

    bool isSave() const { return remember; }
    const QMap<QString, QString>& users() const { return userPasswords; }
    const QMap<QString, QString>& versions() const { return installedVersions; }
    // Why the last failed load or save failed.
    QString errorString() const { return lastError; }

protected:
    SaveData() = default;

private:
    friend class SingleTon<SaveData>;

    void readDocument(const QString& text);
    // Writes the sealed bytes over app.dat itself, for a resource folder that takes no new
    // file; every step checked.
    bool writeInPlace(const QString& path, const QByteArray& data);
    // Whether the file at `path`, which others may read or write, is about to hold passwords
    // (and says so in the log).
    bool mustNarrow(const QString& path) const;
    QString writeDocument() const;

    bool remember = false;
    QMap<QString, QString> userPasswords;     // id -> password
    QMap<QString, QString> installedVersions; // "pokerVer", ... -> version text
    QString lastError;
};

} // namespace utility
