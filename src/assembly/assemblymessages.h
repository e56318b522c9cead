#pragma once

#include <QString>

// Texts shared by the assemblers and their callers.
namespace AssemblyText {
inline QString finished()
{
    return QStringLiteral("Сборка завершена");
}
inline QString noOutputDirectory()
{
    return QStringLiteral("Нечего собирать: не выбран путь записи out-file.");
}
} // namespace AssemblyText
