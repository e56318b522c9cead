#pragma once

#include <QString>
#include <QTemporaryDir>

// The window keeps config.conf and its templates in the working directory: a window test runs in
// a fresh temporary one and leaves the previous working directory as it found it.
class WorkingDirectory {
public:
    WorkingDirectory();
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory &) = delete;
    WorkingDirectory &operator=(const WorkingDirectory &) = delete;

    bool isValid() const;
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
