#pragma once

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QtTest>

#include <optional>

#include "platform.h"
#include "processes.h"

// Runs the real quillon program headless in a working directory of the test's, with a runtime
// directory of the test's own (so tests running side by side never meet), no update address
// and no update key, and its start-up trace in a file the test can read.
class QuillonProcess {
public:
    QuillonProcess(const QString &program, const QString &workDir, const QString &runtimeDir,
                   const QString &logPath)
        : m_logPath(logPath)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char *variable : lockFolderVariables)
            environment.insert(QString::fromLatin1(variable), runtimeDir);
        environment.insert(QStringLiteral("QUILLON_STARTUP_LOG"), logPath);
        // Set and empty: no update check, whatever the build carries.
        environment.insert(QStringLiteral("QUILLON_UPDATE_URL"), QString());
        environment.insert(QStringLiteral("QUILLON_UPDATE_PUBLIC_KEY"), QString());
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(workDir);
        m_process.setProgram(program);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~QuillonProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // The window program as built, and the same start-up with its boxes written to the log.
    static QString builtProgram() { return ::builtProgram(QStringLiteral(QUILLON_WINDOW_PATH)); }
    static QString scriptedProgram() { return ::builtProgram(QStringLiteral(SCRIPTED_QUILLON_PATH)); }

    // What points the program's lock folder (Platform::instanceLockDirectory) into a folder of the
    // test's: XDG_RUNTIME_DIR on Linux, LOCALAPPDATA on Windows.
    static constexpr const char *lockFolderVariables[] = {"XDG_RUNTIME_DIR", "LOCALAPPDATA"};
    // The lock folder the program takes when those variables name `base`.
    static QString lockDirectoryUnder(const QString &base)
    {
        QHash<const char *, std::optional<QByteArray>> saved;
        for (const char *variable : lockFolderVariables) {
            saved.insert(variable, qEnvironmentVariableIsSet(variable) ? std::optional(qgetenv(variable))
                                                                       : std::nullopt);
            qputenv(variable, QFile::encodeName(base));
        }
        const QString directory = Platform::instanceLockDirectory();
        for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
            if (it.value())
                qputenv(it.key(), *it.value());
            else
                qunsetenv(it.key());
        }
        return directory;
    }

    // Before start(): an empty value sets the variable empty, a null one removes it.
    void setEnvironment(const QString &name, const QString &value)
    {
        QProcessEnvironment environment = m_process.processEnvironment();
        if (value.isNull())
            environment.remove(name);
        else
            environment.insert(name, value);
        m_process.setProcessEnvironment(environment);
    }

    QProcess &process() { return m_process; }
    bool start() { return m_process.start(), m_process.waitForStarted(10000); }
    QStringList events() const { return eventsIn(m_logPath); }
    static QStringList eventsIn(const QString &logPath)
    {
        QFile log(logPath);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QString m_logPath;
    QProcess m_process;
};
