#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QtTest>

// Runs the real quillon program headless in a working directory of the test's, under an instance
// key of the test's own (so tests running side by side never meet), with its start-up trace in a
// file the test can read.
class QuillonProcess {
public:
    QuillonProcess(const QString &program, const QString &workDir, const QString &instanceKey,
                   const QString &logPath)
        : m_logPath(logPath)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QUILLON_INSTANCE_KEY"), instanceKey);
        environment.insert(QStringLiteral("QUILLON_STARTUP_LOG"), logPath);
        // Set and empty: no update check, whatever address the build carries.
        environment.insert(QStringLiteral("QUILLON_UPDATE_URL"), QString());
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

    static QString builtProgram()
    {
        return qEnvironmentVariable("QUILLON_TEST_BIN_DIR") + QStringLiteral("/src/app/quillon");
    }

    // Points the program at an update server (before start()).
    void setUpdateServer(const QString &address)
    {
        QProcessEnvironment environment = m_process.processEnvironment();
        environment.insert(QStringLiteral("QUILLON_UPDATE_URL"), address);
        m_process.setProcessEnvironment(environment);
    }

    QProcess &process() { return m_process; }
    bool start() { return m_process.start(), m_process.waitForStarted(10000); }
    QStringList events() const
    {
        QFile log(m_logPath);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QString m_logPath;
    QProcess m_process;
};
