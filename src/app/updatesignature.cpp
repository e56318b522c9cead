#include "updatesignature.h"

#include <sodium.h>

static_assert(UpdateSignature::PublicKeyBytes == crypto_sign_PUBLICKEYBYTES);
static_assert(UpdateSignature::SignatureBytes == crypto_sign_BYTES);

namespace UpdateSignature {

QByteArray decodePublicKey(const QString &base64, QString *problem)
{
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(base64.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        *problem = QStringLiteral("the public key is not base64");
        return QByteArray();
    }
    if (decoded.decoded.size() != PublicKeyBytes) {
        *problem = QStringLiteral("the public key has %1 bytes instead of %2")
                       .arg(decoded.decoded.size())
                       .arg(PublicKeyBytes);
        return QByteArray();
    }
    return decoded.decoded;
}

bool verify(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature)
{
    if (publicKey.size() != PublicKeyBytes || signature.size() != SignatureBytes)
        return false;
    if (sodium_init() < 0)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signature.constData()),
                                       reinterpret_cast<const unsigned char *>(message.constData()),
                                       static_cast<unsigned long long>(message.size()),
                                       reinterpret_cast<const unsigned char *>(publicKey.constData())) == 0;
}

} // namespace UpdateSignature
