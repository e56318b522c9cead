#include "programmerlocator.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform.h"

namespace {

const char programmerVariable[] = "QUILLON_PROGRAMMER";

// A batch file would be run by the command interpreter, which would interpret the arguments.
bool isCommandScript(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("bat") || suffix == QLatin1String("cmd");
}

ProgrammerLocation checked(const QString &path, const QString &origin)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {{},
                QStringLiteral("Программатор не найден: %1 указывает на «%2», такого файла нет.")
                    .arg(origin, QDir::toNativeSeparators(info.absoluteFilePath()))};
    if (isCommandScript(path))
        return {{},
                QStringLiteral("Программатор «%1» является командным файлом; запускается только "
                               "исполняемый файл программатора.")
                    .arg(QDir::toNativeSeparators(info.absoluteFilePath()))};
    return {info.absoluteFilePath(), {}};
}

} // namespace

ProgrammerLocation locateProgrammer()
{
    const QString explicitPath = qEnvironmentVariable(programmerVariable);
    if (!explicitPath.isEmpty())
        return checked(explicitPath, QStringLiteral("переменная окружения %1").arg(programmerVariable));

    const QString name = Platform::programmerExecutableName();
    const QString onSearchPath = QStandardPaths::findExecutable(name);
    if (!onSearchPath.isEmpty())
        return checked(onSearchPath, QStringLiteral("PATH"));

    const QString defaultPath = Platform::defaultProgrammerPath();
    if (QFileInfo(defaultPath).isFile())
        return checked(defaultPath, QStringLiteral("путь установки по умолчанию"));

    return {{},
            QStringLiteral("Программатор %1 не найден. Искали: переменную окружения %2 (не задана), "
                           "каталоги PATH, путь установки по умолчанию «%3». Установите "
                           "STM32CubeProgrammer или укажите путь к программатору в %2.")
                .arg(name, QLatin1String(programmerVariable), QDir::toNativeSeparators(defaultPath))};
}
