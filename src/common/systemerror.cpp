#include "systemerror.h"

#include <cerrno>
#include <cstring>

#include <QIODevice>

namespace {

// errno values that not every C library defines are looked up by name only where they exist.
QString knownText(int code)
{
    switch (code) {
    case ENOSPC:
        return QStringLiteral("нет места на устройстве");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
#endif
    case EACCES:
        return QStringLiteral("доступ запрещён");
    case EPERM:
        return QStringLiteral("операция не разрешена");
    case ENOENT:
        return QStringLiteral("нет такого файла или каталога");
    case EROFS:
        return QStringLiteral("файловая система только для чтения");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case EISDIR:
        return QStringLiteral("это каталог");
    case ENOTDIR:
        return QStringLiteral("часть пути не является каталогом");
    case EEXIST:
        return QStringLiteral("файл уже существует");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case EBUSY:
        return QStringLiteral("устройство или ресурс занят");
    case ENOMEM:
        return QStringLiteral("недостаточно памяти");
    case EXDEV:
        return QStringLiteral("файл нельзя перенести на другое устройство");
    default:
        return QString();
    }
}

} // namespace

namespace SystemError {

void clear()
{
    errno = 0;
}

QString text(int code)
{
    const QString known = knownText(code);
    return known.isEmpty() ? QString::fromLocal8Bit(std::strerror(code)) : known;
}

QString of(const QIODevice &device)
{
    const int code = errno;
    if (code != 0)
        return text(code);
    const QString reason = device.errorString();
    return reason.isEmpty() || reason == QLatin1String("Unknown error") ? QStringLiteral("причина неизвестна")
                                                                        : reason;
}

} // namespace SystemError
