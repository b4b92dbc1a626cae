#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QVector>

// What the last update or repair put into a game's folder: each loose file with its size
// and time on the server, each file unpacked from the package with its size and CRC-32.
// Kept as "<game>/.installed" beside the staging folder; read and written on the update
// worker. A record that cannot be read is no record.
class InstallRecord {
public:
    struct Item {
        QString path; // relative to the game folder, "/" between folders
        qint64 size = 0;
        qint64 modified = -1;  // a loose file's time on the server (Unix seconds)
        quint32 crc = 0;       // an unpacked file's CRC-32
        bool unpacked = false; // from the package, not fetched on its own
    };

    // The record's name inside the game folder; the server and the package may not use it.
    static const char* const fileName;

    // Reads the record of the game folder; false (and no items) when there is none or it
    // cannot be read, or names a path outside the folder.
    bool load(const QString& gameFolder);
    // Writes it whole or not at all.
    bool save(const QString& gameFolder) const;

    // The item of a path, or null.
    Item* find(const QString& path);
    // Adds the item, or replaces the one of its path.
    void put(const Item& item);

    // Whether the file at `path` has this size and CRC-32, read through `buffer` (1 MiB
    // when empty). `keepGoing`, asked after each piece, may stop the check (false).
    static bool fileMatches(const QString& path, qint64 size, quint32 crc,
                            std::vector<char>& buffer,
                            const std::function<bool()>& keepGoing = nullptr);

    QVector<Item> items;
};
