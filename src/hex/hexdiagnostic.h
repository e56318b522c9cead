#pragma once

#include <optional>

#include <QFileInfo>
#include <QList>
#include <QString>

// One finding about an input file: where (file, line when there is one) and how bad.
struct HexDiagnostic {
    enum class Severity { Warning, Error };

    Severity severity = Severity::Error;
    QString file; // as given by the caller, usually the full path
    int line = 0; // 1-based; 0 when the finding is about the file as a whole
    QString message;

    // "fw.hex, строка 12: неверная контрольная сумма ..." (file name without its directory).
    QString text() const
    {
        const QString name = QFileInfo(file).fileName();
        if (line > 0)
            return QStringLiteral("%1, строка %2: %3").arg(name).arg(line).arg(message);
        return QStringLiteral("%1: %2").arg(name, message);
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
