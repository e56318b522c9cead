#pragma once

#include <QString>

#include "imagewriter.h"
#include "problem.h"

// The words a conversion uses, whichever way it writes its output.
namespace ConversionTexts {

inline QString recordFormatName(OutputFormat format)
{
    return format == OutputFormat::SRecord ? QStringLiteral("S-records") : QStringLiteral("Intel HEX");
}

inline Problem writeProblem(const QString &outputPath, const QString &reason)
{
    return Problem::error(QStringLiteral("не удалось записать файл: %1").arg(reason), outputPath);
}

// An input that held no data gives an empty output, with this warning.
inline Problem emptyImageWarning(OutputFormat format, const QString &inputName)
{
    return Problem::warning(QStringLiteral("в файле нет данных; %1 пуст")
                                .arg(format == OutputFormat::Binary
                                         ? QStringLiteral("двоичный файл")
                                         : QStringLiteral("файл ") + recordFormatName(format)),
                            inputName);
}

} // namespace ConversionTexts
