#include "sha256.h"

#include <windows.h>

#include <bcrypt.h>

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    // Without the provider nothing could be trusted: stop rather than hash wrongly.
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&m_state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(BCryptCreateHash(m_state->algorithm, &m_state->hash, nullptr, 0, nullptr, 0, 0)))
        qFatal("SHA-256 is not available from CNG");
}

Sha256::~Sha256()
{
    if (m_state->hash)
        BCryptDestroyHash(m_state->hash);
    if (m_state->algorithm)
        BCryptCloseAlgorithmProvider(m_state->algorithm, 0);
}

void Sha256::addData(const char *data, qint64 length)
{
    // CNG takes at most 4 GiB a call.
    constexpr qint64 largestCall = 1 << 30;
    auto *bytes = reinterpret_cast<PUCHAR>(const_cast<char *>(data));
    while (length > 0) {
        const ULONG part = ULONG(qMin(length, largestCall));
        if (!BCRYPT_SUCCESS(BCryptHashData(m_state->hash, bytes, part, 0)))
            qFatal("SHA-256 update failed in CNG");
        bytes += part;
        length -= part;
    }
}

QByteArray Sha256::result()
{
    QByteArray digest(32, Qt::Uninitialized);
    if (!BCRYPT_SUCCESS(BCryptFinishHash(m_state->hash, reinterpret_cast<PUCHAR>(digest.data()), 32, 0)))
        qFatal("SHA-256 could not be finished in CNG");
    return digest;
}
