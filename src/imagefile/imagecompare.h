#pragma once

#include <optional>

#include <QList>
#include <QtGlobal>

#include "memoryimage.h"

// A run of addresses where two images disagree in one way: both hold bytes there and they differ,
// or only one of them holds any.
struct ImageDifference {
    enum class Kind { Different, OnlyInFirst, OnlyInSecond };

    Kind kind = Kind::Different;
    quint64 start = 0;
    quint64 end = 0; // one past the last address
    // The two images' bytes at `start`; none where an image holds nothing.
    std::optional<quint8> first;
    std::optional<quint8> second;
};

struct ImageComparison {
    QList<ImageDifference> differences; // the first ones, in address order, at most as many as asked for
    qint64 differenceCount = 0;         // runs in all
    quint64 differingBytes = 0;         // addresses in all the runs
    quint64 sameBytes = 0;              // addresses that hold the same byte in both

    bool same() const { return differenceCount == 0; }
};

// Compares two images address by address over [from, to): the same bytes at the same addresses, and
// bytes held by only one image count as a difference. Neighbouring addresses that disagree in the
// same way form one run; `keep` runs are kept with their bytes, the rest only counted.
ImageComparison compareImages(const MemoryImage &first, const MemoryImage &second, quint64 from, quint64 to,
                              int keep);
