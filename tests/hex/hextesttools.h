#pragma once

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

// Helpers shared by the conversion tests: deterministic firmware-like data, whole-file reads and
// writes, and running a tool nobody here wrote.
namespace HexTestTools {

// Random bytes seeded by the size, so that no 16-byte block is all 0xFF by chance.
inline QByteArray firmwareBytes(qsizetype size, quint32 seed = 1)
{
    QRandomGenerator generator(seed + static_cast<quint32>(size));
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; i += 4) {
        const quint32 word = generator.generate();
        for (qsizetype k = 0; k < 4 && i + k < size; ++k) {
            const auto byte = static_cast<quint8>(word >> (8 * k));
            bytes[i + k] = static_cast<char>(byte == 0xFF ? 0xFE : byte); // never 0xFF
        }
    }
    return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolRun runTool(const QString &program, const QStringList &arguments, int timeoutMs = 240000)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        run.err = "did not finish: " + process.errorString().toUtf8() + process.readAllStandardError();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

inline QString hexArgument(quint64 value)
{
    return QStringLiteral("0x") + QString::number(value, 16);
}

inline QString cliPath()
{
    return qEnvironmentVariable("QUILLON_TEST_BIN_DIR") + QStringLiteral("/src/cli/quillon-cli");
}

} // namespace HexTestTools
