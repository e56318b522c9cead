#pragma once

#include <memory>

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// SHA-256 through the system's cryptography (OpenSSL's libcrypto on Linux, CNG on Windows), which
// uses the processor's SHA instructions where it has them: digests of whole images are on the
// path of every build and `info`. Data can be added in pieces.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void addData(const char *data, qint64 length);
    void addData(QByteArrayView data) { addData(data.data(), data.size()); }
    // The 32-byte digest of what was added; the hash is finished by it.
    QByteArray result();

    static QByteArray of(const QByteArray &data)
    {
        Sha256 hash;
        hash.addData(data);
        return hash.result();
    }

private:
    struct State;
    std::unique_ptr<State> m_state;
};
