#include "workingdirectory.h"

#include <QDir>

WorkingDirectory::WorkingDirectory() : m_previous(QDir::currentPath())
{
    if (m_dir.isValid())
        QDir::setCurrent(m_dir.path());
}

WorkingDirectory::~WorkingDirectory()
{
    QDir::setCurrent(m_previous);
}

bool WorkingDirectory::isValid() const
{
    return m_dir.isValid() && QDir::currentPath() == QDir(m_dir.path()).canonicalPath();
}
