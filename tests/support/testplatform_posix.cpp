#include "testplatform.h"

#include <QFile>
#include <QThread>

#include <csignal>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t NobodyId = 65534;

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

} // namespace

namespace TestPlatform {

bool isPosix()
{
    return true;
}

bool isSuperUser()
{
    return ::geteuid() == 0;
}

bool setMode(const QString &path, unsigned mode)
{
    return ::chmod(nativePath(path).constData(), mode_t(mode)) == 0;
}

bool giveToNobody(const QString &path)
{
    return isSuperUser() && ::lchown(nativePath(path).constData(), NobodyId, NobodyId) == 0;
}

bool fileNamesIgnoreCase()
{
    return false;
}

unsigned exchangeUmask(unsigned mask)
{
    return ::umask(mode_t(mask));
}

bool makeFifo(const QString &path)
{
    return ::mkfifo(nativePath(path).constData(), 0600) == 0;
}

bool writeToFifo(const QString &path, const QByteArray &bytes)
{
    // Opening without a reader fails at once when non-blocking: retried until the reader is there.
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int fd = ::open(nativePath(path).constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
            QThread::msleep(50);
            continue;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
        ::close(fd);
        return written;
    }
    return false;
}

QByteArray settingsText(QByteArray text)
{
    return text;
}

bool processExists(qint64 processId)
{
    return ::kill(pid_t(processId), 0) == 0;
}

bool processRuns(qint64 processId)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype state = text.lastIndexOf(')') + 2;
    return state < text.size() && text.at(state) != 'Z';
}

bool suspendProcess(qint64 processId)
{
    return ::kill(pid_t(processId), SIGSTOP) == 0;
}

bool resumeProcess(qint64 processId)
{
    return ::kill(pid_t(processId), SIGCONT) == 0;
}

bool terminateProcess(qint64 processId)
{
    return ::kill(pid_t(processId), SIGTERM) == 0;
}

bool interruptProcess(qint64 processId)
{
    return ::kill(pid_t(processId), SIGINT) == 0;
}

bool hangUpProcess(qint64 processId)
{
    return ::kill(pid_t(processId), SIGHUP) == 0;
}

OpenCounter::OpenCounter() : m_handle(::inotify_init1(IN_NONBLOCK)) {}

OpenCounter::~OpenCounter()
{
    if (m_handle >= 0)
        ::close(m_handle);
}

bool OpenCounter::watch(const QString &path)
{
    const int watch = ::inotify_add_watch(m_handle, QFile::encodeName(path).constData(), IN_OPEN);
    if (watch < 0)
        return false;
    m_paths.insert(watch, path);
    return true;
}

QMap<QString, int> OpenCounter::opens()
{
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = ::read(m_handle, buffer, sizeof buffer)) > 0) {
        for (const char *at = buffer; at < buffer + length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            ++m_opens[m_paths.value(event->wd)];
            at += sizeof(inotify_event) + event->len;
        }
    }
    return m_opens;
}

} // namespace TestPlatform
