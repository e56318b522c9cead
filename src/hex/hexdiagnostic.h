#pragma once

#include <optional>

#include <QList>
#include <QString>

// One finding about an input file: where (file, line when there is one) and how bad.
struct HexDiagnostic {
    enum class Severity { Warning, Error };

    Severity severity = Severity::Error;
    QString file; // as given by the caller: the path as the user typed it
    int line = 0; // 1-based; 0 when the finding is about the file as a whole
    QString message;

    // "build/fw.hex, строка 12: неверная контрольная сумма ...", the file named as it was given.
    QString text() const
    {
        if (line > 0)
            return QStringLiteral("%1, строка %2: %3").arg(file).arg(line).arg(message);
        return QStringLiteral("%1: %2").arg(file, message);
    }
};

// The first error among a reader's findings; none when it found only warnings.
inline std::optional<HexDiagnostic> firstError(const QList<HexDiagnostic> &diagnostics)
{
    for (const HexDiagnostic &diagnostic : diagnostics)
        if (diagnostic.severity == HexDiagnostic::Severity::Error)
            return diagnostic;
    return std::nullopt;
}
