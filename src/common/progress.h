#pragma once

#include <functional>

#include <QtGlobal>

// Progress of a long job as "done out of total" in whatever unit the job counts (bytes, pieces).
// The window turns it into a progress dialog, quillon-cli into nothing or a line on stderr.
// Jobs call it at most every few milliseconds, never per record.
using ProgressCallback = std::function<void(qint64 done, qint64 total)>;
