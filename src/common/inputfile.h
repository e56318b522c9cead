#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

// A file named as an input, opened once and read to its end. Regular files report their size and
// may be read again from any position; pipes, FIFOs and files that report no size (as under
// /proc) are read until end of file all the same, but only once. Character and block devices and
// directories are refused before anything is read: a device never ends (/dev/zero) or means
// nothing as an image.
class InputFile {
public:
    enum class Problem { None, Missing, Directory, Device, CannotOpen, CannotRead, TooLarge };

    explicit InputFile(const QString &path) : m_file(path) {}

    bool open();
    Problem problem() const { return m_problem; }
    // The system's reason for an open or read failure; empty for the other problems.
    QString systemError() const { return m_systemError; }
    // The problem in words, for messages that put the file's name in front ("cannot open the
    // file: it is a device ...").
    QString problemText(qint64 limit = 0) const;

    QString path() const { return m_file.fileName(); }
    QIODevice &device() { return m_file; }
    // The size the file system gives beforehand; -1 for an input known only once it has been read.
    qint64 knownSize() const { return m_knownSize; }
    // Whether any part can be read again later (a regular file with a size).
    bool isRereadable() const { return m_knownSize > 0; }

    // Reads from the current position to the end; nothing, with TooLarge, when more than `limit`
    // bytes come, and with CannotRead when reading fails.
    std::optional<QByteArray> readToEnd(qint64 limit);
    // Reads from the current position to the end, handing each block to `take` and keeping none:
    // false, with the same problems as readToEnd, when more than `limit` bytes come or reading fails.
    bool readInBlocks(qint64 limit, const std::function<void(QByteArrayView)> &take);
    // The whole of a rereadable file mapped into memory, valid while the file stays open; empty
    // when the system cannot map it.
    QByteArrayView map();

private:
    bool fail(Problem problem, const QString &systemError = QString());

    QFile m_file;
    Problem m_problem = Problem::None;
    QString m_systemError;
    qint64 m_knownSize = -1;
};
