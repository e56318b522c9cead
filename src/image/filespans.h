#pragma once

#include <functional>

#include <QList>

#include "datachunk.h"

class QIODevice;

// Hands the bytes of each span to `take` (address, bytes, length) in the spans' order, read from the
// file through one block of `blockSize`, so that no more of the file is held than that block however
// large the image. Stops early when `take` returns false. False only when the file could not be read.
bool readFileSpans(QIODevice &file, const QList<FileSpan> &spans, qint64 blockSize,
                   const std::function<bool(quint64 address, const char *bytes, qint64 length)> &take);
