#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include "systemerror.h"

// The record writers format many lines into one fixed buffer and hand it to the device when it is
// full: writes the first `used` characters and empties the buffer, or keeps the system's reason.
inline bool writeRecordBuffer(QIODevice &out, const QByteArray &buffer, qsizetype &used, QString &error)
{
    if (used == 0)
        return true;
    SystemError::clear();
    if (out.write(buffer.constData(), used) != used) {
        error = SystemError::of(out);
        return false;
    }
    used = 0;
    return true;
}
