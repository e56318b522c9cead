#include "programmer/programmercommands.h"

#include <QDir>
#include <QFileInfo>

#include "programmer/programmerlocator.h"

namespace ProgrammerCommands {

namespace {
const char flashStartAddress[] = "0x08000000";
}

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
        plan.error = QStringLiteral("Файл прошивки не найден: «%1».").arg(image.absoluteFilePath());
        return plan;
    }
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
