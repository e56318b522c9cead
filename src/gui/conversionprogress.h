#pragma once

#include "jobprogress.h"

struct ConversionOptions;

// The progress of one conversion: a quick conversion shows no dialog and costs no more than on the
// command line.
class ConversionProgress : public JobProgress {
public:
    explicit ConversionProgress(QWidget *window, int delayMs = DefaultDelayMs);

    // Lets this dialog watch a conversion: its progress is reported here, and "Отмена" stops it.
    void watch(ConversionOptions &options);
};
