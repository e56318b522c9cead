#pragma once

#include <QIODevice>

#include "releasemanifest.h"
#include "systemerror.h"

// Passes every write on to the output and adds what it took to the image's digest, so the manifest
// needs no second reading of the image.
class DigestingDevice : public QIODevice {
public:
    DigestingDevice(QIODevice &target, ImageDigestBuilder &digest) : m_target(target), m_digest(digest)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override
    {
        SystemError::clear();
        const qint64 written = m_target.write(data, length);
        if (written > 0)
            m_digest.addData(data, written);
        if (written != length)
            setErrorString(SystemError::of(m_target));
        return written;
    }

private:
    QIODevice &m_target;
    ImageDigestBuilder &m_digest;
};
