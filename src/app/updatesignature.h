#pragma once

#include <QByteArray>
#include <QString>

// Ed25519 signatures of published releases, checked with libsodium. The publisher signs the
// release manifest with a private key of their own; the program trusts the matching public key.
namespace UpdateSignature {

constexpr int PublicKeyBytes = 32;
constexpr int SignatureBytes = 64;

// The public key from its base64 text (32 raw bytes, as printed by the publishing script). Empty,
// with problem set, when the text is not exactly that.
QByteArray decodePublicKey(const QString &base64, QString *problem);

// Whether signature is a valid Ed25519 signature of message under publicKey.
bool verify(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature);

} // namespace UpdateSignature
