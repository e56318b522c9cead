#pragma once

#include <QFileInfo>
#include <QString>

// One finding about an input file: where (file, line when there is one) and how bad.
struct HexDiagnostic {
    enum class Severity { Warning, Error };

    Severity severity = Severity::Error;
    QString file; // as given by the caller, usually the full path
    int line = 0; // 1-based; 0 when the finding is about the file as a whole
    QString message;

    // "fw.hex, line 12: checksum mismatch ..." (file name without its directory).
    QString text() const
    {
        const QString name = QFileInfo(file).fileName();
        if (line > 0)
            return QStringLiteral("%1, строка %2: %3").arg(name).arg(line).arg(message);
        return QStringLiteral("%1: %2").arg(name, message);
    }
};
