#pragma once

#include <memory>

#include <QByteArray>
#include <QFile>
#include <QString>

// A file that replaces its target whole or not at all. The data goes to a hidden file in the
// target's directory, renamed over the target by commit() once every byte was written and has
// reached the disk, and the folder is flushed after, so that neither a kill nor a power cut leaves a
// half-written or empty file where the old one stood. The hidden file is removed on any failure, on
// cancel() and when the object goes without commit(); one that a killed process left behind is
// removed when the same target is next opened.
class AtomicOutputFile {
public:
    explicit AtomicOutputFile(const QString &targetPath);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile &) = delete;
    AtomicOutputFile &operator=(const AtomicOutputFile &) = delete;

    // Creates the hidden file next to the target, after removing those of the same target that
    // processes no longer running left. A new file gets the permissions the user's umask gives; a
    // file replacing another keeps the old one's permissions.
    bool open();
    // False when not every byte was taken; the failure sticks until cancel().
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    // For writers that place their data anywhere: writes at a position (the file grows to it), and
    // reads back what was written; false on a failure, which sticks as write()'s does.
    bool writeAt(qint64 position, const char *data, qint64 size);
    bool readAt(qint64 position, char *data, qint64 size);
    // For writers that take a device; their writes must be checked too. A failed write is kept
    // with its reason in words, which commit() then gives.
    QIODevice &device();

    bool commit();
    void cancel();

    QString targetPath() const { return m_targetPath; }
    QString errorString() const { return m_error; }

private:
    class WriteThrough;

    bool fail(const QString &error);

    QString m_targetPath;
    QFile m_file;
    std::unique_ptr<WriteThrough> m_device;
    QString m_error;
    bool m_failed = false;
};
