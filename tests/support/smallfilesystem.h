#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include "testplatform.h"

// A tmpfs of a few KiB mounted for one test, to see what a full disk does to a write. Mounting
// needs root; isMounted() tells whether the test can go on. Unmounted when it goes out of scope.
class SmallFileSystem {
public:
    SmallFileSystem(const QString &mountPoint, int kibibytes) : m_mountPoint(mountPoint)
    {
        if (!TestPlatform::isPosix() || !TestPlatform::isSuperUser() || !QDir().mkpath(mountPoint))
            return;
        m_mounted = QProcess::execute(QStringLiteral("mount"),
                                      {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                       QStringLiteral("size=%1k").arg(kibibytes), QStringLiteral("tmpfs"),
                                       mountPoint}) == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_mountPoint});
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool isMounted() const { return m_mounted; }

    // Takes up all the space that is left.
    void fill() const
    {
        QFile filler(m_mountPoint + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    QString m_mountPoint;
    bool m_mounted = false;
};
