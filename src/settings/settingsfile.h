#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QString>
#include <QStringList>

class QSettings;
class QTemporaryDir;

// Reads and rewrites INI files through QSettings without trusting QSettings with the file itself:
// a crash, a full disk or a read-only file must never leave a truncated file where a good one
// stood, and a file changed behind our back must be read as it is now.
class SettingsFile {
public:
    // A read-only view of the file as it is on disk at construction. QSettings caches every file it
    // has seen per process and trusts that cache while size and modification time (in milliseconds)
    // are unchanged, so a file rewritten within the same millisecond could be read stale; reading a
    // private copy sidesteps that. A missing or unreadable file reads as empty.
    class Reader {
    public:
        explicit Reader(const QString &path);
        ~Reader();
        QSettings &store() { return *m_store; }
        // False when the file exists but is not valid INI text (a binary file among them); whatever
        // could be read is still offered.
        bool wellFormed() const { return m_wellFormed; }
        // Why a file that exists was not read at all (not a regular file, far too big); empty
        // otherwise. Such a file is never opened and reads as empty.
        const QString &problem() const { return m_problem; }

    private:
        QString m_problem;
        std::unique_ptr<QTemporaryDir> m_copy;
        std::unique_ptr<QSettings> m_store;
        bool m_wellFormed = true;
    };

    // Applies `write` to the keys of the file and replaces the file atomically. Keys that `write`
    // does not touch are kept as QSettings reads them, unless the old file was not valid INI, in
    // which case they are dropped. Returns false, with the old file left exactly as it was, when the new
    // content could not be produced, verified or committed, or when the file exists but is not writable.
    static bool update(const QString &path, const std::function<void(QSettings &)> &write);

    // Replaces the file by `content` atomically, on the disk before the old file goes, and checks
    // it by reading it back.
    static bool replace(const QString &path, const QByteArray &content);

    // The temporaries of the files whose names end with one of targetSuffixes, made beside them
    // ("<name>.quillon-XXXXXX": the new content and the scratch folders here) and left in `folder` by a
    // process that was killed. Only the window's running instance writes these files, so at its
    // start every such entry is stale; anything else, even of a similar name, is left alone.
    static void removeStaleTemporaries(const QString &folder, const QStringList &targetSuffixes);
    static bool isStaleTemporary(const QString &folder, const QString &entry,
                                 const QStringList &targetSuffixes);
};
