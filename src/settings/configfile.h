#pragma once

#include <QByteArray>
#include <QString>

class QSettings;

// The working state file, config.conf in the current directory: its default content, its creation,
// and the one key that belongs to no tab (the open page). The tabs' keys live in tabsettings.h.
class ConfigFile {
public:
    static QString defaultPath() { return QStringLiteral("./config.conf"); }

    // The 35 default keys as INI text, groups and keys in their documented order (QSettings itself
    // would sort them).
    static QByteArray defaultContent();

    // Writes the defaults when nothing named `path` exists; an existing file is left exactly as it
    // is, however incomplete. Returns false only when a new file could not be written.
    static bool ensureExists(const QString &path = defaultPath());
    // Removes the temporaries of the file that a killed window left beside it.
    static void removeStaleTemporaries(const QString &path = defaultPath());
    // Deletes the file, so that the next ensureExists() writes the defaults; false when it stays.
    static bool remove(const QString &path = defaultPath());

    // The index of the open page; 0 when missing or not a number.
    static int loadTab(QSettings &store);
    static void saveTab(QSettings &store, int tab);
};
