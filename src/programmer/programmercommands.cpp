#include "programmercommands.h"

#include <QDir>
#include <QFileInfo>

#include "inputfile.h"
#include "inputformat.h"
#include "intelhexreader.h"
#include "programmerlocator.h"
#include "srecordreader.h"

namespace ProgrammerCommands {

namespace {

const char flashStartAddress[] = "0x08000000";

// "строка 3: ...": the file is named by the message around it.
QString whereAndWhat(const std::optional<Problem> &error)
{
    const Problem diagnostic = error.value_or(Problem{});
    if (diagnostic.line > 0)
        return QStringLiteral("строка %1: %2").arg(diagnostic.line).arg(diagnostic.message);
    return diagnostic.message;
}

// What makes an image unfit to flash, or nothing.
QString imageProblem(const QString &path)
{
    InputFile input(path);
    if (!input.open())
        return QStringLiteral("Файл прошивки «%1» не читается: %2.").arg(path, input.problemText());
    const InputFormat format = detectInputFormat(input.device());
    qint64 dataBytes = format == InputFormat::Empty ? 0 : 1;
    if (format == InputFormat::IntelHex) {
        IntelHexReader reader;
        reader.setKeepData(false);
        if (!reader.read(input.device(), path))
            return QStringLiteral("Файл прошивки «%1» не читается как Intel HEX: %2")
                .arg(path, whereAndWhat(reader.error()));
        dataBytes = reader.content().dataBytes;
    } else if (format == InputFormat::SRecord) {
        SRecordReader reader;
        reader.setKeepData(false);
        if (!reader.read(input.device(), path))
            return QStringLiteral("Файл прошивки «%1» не читается как S-record: %2")
                .arg(path, whereAndWhat(reader.error()));
        dataBytes = reader.takeContent().dataBytes;
    }
    if (dataBytes == 0)
        return QStringLiteral("Файл прошивки «%1» пуст: прошивать нечего, а плата была бы стёрта.").arg(path);
    return QString();
}

} // namespace

QStringList optionBytesArguments()
{
    return {QStringLiteral("-c"), QStringLiteral("port=SWD"), QStringLiteral("-ob"),
            QStringLiteral("rdp=0xAA")};
}

QStringList eraseAndWriteArguments(const QString &imagePath)
{
    return {QStringLiteral("-c"),
            QStringLiteral("port=SWD"),
            QStringLiteral("-e"),
            QStringLiteral("all"),
            QStringLiteral("-w"),
            QDir::toNativeSeparators(QFileInfo(imagePath).absoluteFilePath()),
            QLatin1String(flashStartAddress)};
}

FlashPlan planFlashing(const QString &imagePath, const ProgrammerTimeouts &timeouts)
{
    FlashPlan plan;
    const QFileInfo image(imagePath);
    if (!image.isFile()) {
        plan.error = QStringLiteral("Файл прошивки не найден: «%1».")
                         .arg(QDir::toNativeSeparators(image.absoluteFilePath()));
        return plan;
    }
    // The programmer erases the whole flash before it writes: an image with nothing to write, or one
    // it cannot read, would leave the board blank.
    plan.error = imageProblem(image.absoluteFilePath());
    if (!plan.error.isEmpty())
        return plan;
    const ProgrammerLocation programmer = locateProgrammer();
    if (!programmer.found()) {
        plan.error = programmer.error;
        return plan;
    }
    plan.program = programmer.path;
    plan.steps = {
        {QStringLiteral("снятие защиты от чтения"), optionBytesArguments(), timeouts.optionBytesMs},
        {QStringLiteral("стирание и запись"), eraseAndWriteArguments(imagePath), timeouts.eraseAndWriteMs}};
    return plan;
}

} // namespace ProgrammerCommands
