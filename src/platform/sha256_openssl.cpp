#include "sha256.h"

#include <cstdlib>

#include <openssl/evp.h>

struct Sha256::State {
    EVP_MD_CTX *context = nullptr;
};

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    m_state->context = EVP_MD_CTX_new();
    // Without a context or the digest nothing could be trusted: stop rather than hash wrongly.
    if (!m_state->context || EVP_DigestInit_ex(m_state->context, EVP_sha256(), nullptr) != 1)
        qFatal("SHA-256 is not available from libcrypto");
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_state->context);
}

void Sha256::addData(const char *data, qint64 length)
{
    if (length > 0 && EVP_DigestUpdate(m_state->context, data, size_t(length)) != 1)
        qFatal("SHA-256 update failed in libcrypto");
}

QByteArray Sha256::result()
{
    QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_state->context, reinterpret_cast<unsigned char *>(digest.data()), &length) != 1)
        qFatal("SHA-256 could not be finished in libcrypto");
    digest.truncate(int(length));
    return digest;
}
