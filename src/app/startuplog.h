#pragma once

#include <QString>

// An optional trace of the start-up decisions ("shown", "listening", "handed-over", "activated",
// "ignored"), one line each, appended to the file named by the environment variable
// QUILLON_STARTUP_LOG. Unset, nothing is written. It lets a support engineer, or a test driving
// real processes, see what an instance decided without a window to look at.
namespace StartupLog {
void note(const QString &event);
}
