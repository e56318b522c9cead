#pragma once

#include <QString>

// Where the STM32 programmer's executable is. Exactly one of path and error is set.
struct ProgrammerLocation {
    QString path;  // absolute path of the executable
    QString error; // why it was not found, naming every place that was looked at

    bool found() const { return !path.isEmpty(); }
};

// Looks, in this order, at the QUILLON_PROGRAMMER environment variable (when set, it is the only
// place looked at: a wrong explicit choice must not be replaced silently by another programmer),
// at the executable search path, and at the default installation path.
ProgrammerLocation locateProgrammer();
