#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

#include <sodium.h>

#include "httpfixture.h"
#include "selfupdate.h"

// A publisher with an Ed25519 key pair made for the test, and the release files it puts on the
// update server: the executable, its manifest and the manifest's signature.
class UpdatePublisher {
public:
    UpdatePublisher()
    {
        if (sodium_init() < 0)
            qFatal("libsodium cannot be initialised");
        m_publicKey.resize(crypto_sign_PUBLICKEYBYTES);
        m_secretKey.resize(crypto_sign_SECRETKEYBYTES);
        crypto_sign_keypair(reinterpret_cast<unsigned char *>(m_publicKey.data()),
                            reinterpret_cast<unsigned char *>(m_secretKey.data()));
    }

    QByteArray publicKey() const { return m_publicKey; }
    QString publicKeyBase64() const { return QString::fromLatin1(m_publicKey.toBase64()); }

    QByteArray sign(const QByteArray &message) const
    {
        QByteArray signature(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                             reinterpret_cast<const unsigned char *>(message.constData()),
                             static_cast<unsigned long long>(message.size()),
                             reinterpret_cast<const unsigned char *>(m_secretKey.constData()));
        return signature;
    }

    static QByteArray manifestFor(const QString &version, const QByteArray &executable)
    {
        return "{\"version\": \"" + version.toUtf8() +
               "\", \"size\": " + QByteArray::number(executable.size()) + ", \"sha256\": \"" +
               QCryptographicHash::hash(executable, QCryptographicHash::Sha256).toHex() + "\"}\n";
    }

    // Puts a signed release of the executable under that version on the server.
    void publish(HttpFixture &http, const QString &version, const QByteArray &executable) const
    {
        const QByteArray manifest = manifestFor(version, executable);
        http.replies[path(SelfUpdate::executableFileName())] = {executable};
        http.replies[path(SelfUpdate::manifestFileName())] = {manifest};
        http.replies[path(SelfUpdate::signatureFileName())] = {sign(manifest)};
    }

    static QByteArray path(const QString &fileName) { return "/QUILL/" + fileName.toUtf8(); }

    // A version one step after (or before) the running program's.
    static QString versionAfterRunning(int step = 1)
    {
        const QVersionNumber running = SelfUpdate::runningVersion();
        QList<int> segments = running.segments();
        while (segments.size() < 3)
            segments.append(0);
        segments[2] += step;
        if (segments[2] < 0) {
            segments[2] = 99;
            segments[1] -= 1;
        }
        return QVersionNumber(segments).toString();
    }

private:
    QByteArray m_publicKey;
    QByteArray m_secretKey;
};
