#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <QSet>
#include <QString>
#include <QVector>

#include "update/InstallRecord.h"

// Unpacks a game's package "../../../<game>/<game>.zip" into the game's folder and
// deletes it once every entry is in place. Runs on the update worker (FtpThread::install)
// and publishes entries as total/current for the progress panel.
class PackageInstaller {
public:
    PackageInstaller(const std::string& gameName, std::atomic<int>& total,
                     std::atomic<int>& current);

    // True when the package was unpacked in full and deleted, or when there is none. On
    // false the package stays for inspection and no entry is left half written.
    bool run();
    // After a failed run: the package's own bytes are wrong (not a zip, an entry cut short
    // or failing its CRC), so fetching it again may help; otherwise the same package would
    // fail the same way.
    bool packageDamaged() const { return damaged; }
    // Unpacks only the entries of these paths (a repair); the others are left alone.
    void unpackOnly(const QSet<QString>& paths);
    // Unpacks only the entries whose file is not in place with their size and CRC-32 (a
    // repair without a record of what was unpacked).
    void unpackOnlyChanged() { onlyChanged = true; }
    // The files unpacked by run(), and those found in place unchanged, each with its size
    // and CRC-32.
    const QVector<InstallRecord::Item>& unpackedFiles() const { return unpacked; }
    const QVector<InstallRecord::Item>& keptFiles() const { return kept; }

    // Whether an entry name stays inside the game folder: not absolute, no drive letter,
    // no ".." component (either slash counts as a separator).
    static bool isSafeEntryName(const std::string& name);

    // Puts a whole file in place of another in one step (the old one, if any, is replaced).
    static bool replaceFile(const QString& from, const QString& to);

    // Writes everything below the folder that is still in memory to the disk. Entries are
    // not synced one by one: the update syncs once, before it records the new version.
    static bool syncFolder(const QString& folder);

    // Room kept free on the game folder's disk beyond what the entries declare.
    static constexpr long long spareBytes = 64LL * 1024 * 1024;

private:
    bool checkNames(void* zip, unsigned long long entries);
    bool localEntryName(const std::string& raw, unsigned long flag, QString& out) const;
    // Entries without the UTF-8 flag are read in one encoding, decided for the whole
    // package: UTF-8 when every such name is valid UTF-8, else CP949.
    bool unflaggedUtf8 = true;
    bool damaged = false;
    bool onlySome = false;
    QSet<QString> only;
    bool onlyChanged = false;
    QVector<InstallRecord::Item> unpacked;
    QVector<InstallRecord::Item> kept;
    bool extractFile(void* zip, const QString& name, unsigned long long declaredSize,
                     unsigned long versionMadeBy, unsigned long externalAttributes);

    std::string gameName;
    std::vector<char> copyBuffer; // made with the first entry, kept for the others
    std::atomic<int>& total;
    std::atomic<int>& current;
};
