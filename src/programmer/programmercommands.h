#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// How long each run of the programmer may take before it is taken to hang. Generous: a full
// erase of a large part over a slow probe takes minutes.
struct ProgrammerTimeouts {
    int optionBytesMs = 60 * 1000;
    int eraseAndWriteMs = 5 * 60 * 1000;
};

// One run of the programmer: its arguments, each passed as one argument, and what it does in
// words for the messages.
struct ProgrammerStep {
    QString description;
    QStringList arguments;
    int timeoutMs = 0;
};

// Everything needed to flash one image, or why it cannot be done (then nothing is to be run).
struct FlashPlan {
    QString program;
    QList<ProgrammerStep> steps;
    QString error;

    bool ok() const { return error.isEmpty(); }
};

namespace ProgrammerCommands {

// Connects over SWD and sets the read-out protection option byte to level 0.
QStringList optionBytesArguments();
// Connects over SWD, erases the whole flash and writes the image at the start of flash. The path
// is made absolute so that a name starting with "-" is never taken for an option.
QStringList eraseAndWriteArguments(const QString &imagePath);

// Checks that the image exists and holds something to write (a binary that is not empty, Intel HEX
// that reads cleanly and has data), locates the programmer and lists the two runs in order.
FlashPlan planFlashing(const QString &imagePath, const ProgrammerTimeouts &timeouts = {});

} // namespace ProgrammerCommands
