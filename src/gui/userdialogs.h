#pragma once

#include <optional>

#include "common/reporter.h"

class QWidget;

// Every message box, question, file or directory chooser and input dialog of the window goes
// through this seam. The program uses MessageBoxDialogs; the tests install a scripted fake so
// that no real modal box ever opens under the offscreen platform.
class UserDialogs : public Reporter {
public:
    // Empty when cancelled.
    virtual QString chooseDirectory(QWidget *parent, const QString &caption, const QString &startDir) = 0;
    // Empty when cancelled.
    virtual QString chooseFile(QWidget *parent, const QString &caption, const QString &startDir,
                               const QString &filter) = 0;
    // No value when cancelled.
    virtual std::optional<int> askInteger(QWidget *parent, const QString &title, const QString &label,
                                          int value, int minimum, int maximum, int step) = 0;
};
