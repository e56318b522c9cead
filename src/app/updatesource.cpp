#include "updatesource.h"

#include "updatesignature.h"

#ifndef QUILLON_DEFAULT_UPDATE_URL
#define QUILLON_DEFAULT_UPDATE_URL ""
#endif
#ifndef QUILLON_DEFAULT_UPDATE_PUBLIC_KEY
#define QUILLON_DEFAULT_UPDATE_PUBLIC_KEY ""
#endif

static QString builtInOrEnvironment(const char *variable, const QString &builtIn)
{
    if (qEnvironmentVariableIsSet(variable))
        return qEnvironmentVariable(variable).trimmed();
    return builtIn.trimmed();
}

QString UpdateSource::builtInAddress()
{
    return QStringLiteral(QUILLON_DEFAULT_UPDATE_URL);
}

QString UpdateSource::builtInPublicKey()
{
    return QStringLiteral(QUILLON_DEFAULT_UPDATE_PUBLIC_KEY);
}

UpdateSource UpdateSource::fromBuildAndEnvironment()
{
    UpdateSource source;
    source.address = builtInOrEnvironment("QUILLON_UPDATE_URL", builtInAddress());
    const QString key = builtInOrEnvironment("QUILLON_UPDATE_PUBLIC_KEY", builtInPublicKey());
    if (!key.isEmpty())
        source.publicKey = UpdateSignature::decodePublicKey(key, &source.keyProblem);
    return source;
}

QUrl UpdateSource::fileUrl(const QString &name) const
{
    QString base = address;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QUrl(base + QStringLiteral("/QUILL/") + name);
}
