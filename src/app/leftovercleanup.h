#pragma once

#include <QString>

// Finishes an update left by the previous run: the clean-up script written beside the
// moved-aside old executable removes that file. The script runs only when both it and the old
// executable are there; the script itself is deleted in either case. Returns whether it ran.
bool finishLeftoverUpdate(const QString &executableDirectory, int timeoutMs = 5000);
