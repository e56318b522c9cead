#pragma once

#include <optional>

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include "processes.h"
#include "testplatform.h"

// Points QUILLON_PROGRAMMER at the fake programmer built with the tests for as long as it lives,
// chooses how the fake behaves, and reads back what each run received. Restores the environment
// it changed when it goes.
class FakeProgrammer {
public:
    struct Run {
        qint64 processId = 0;
        QStringList arguments;
    };

    FakeProgrammer()
    {
        for (const char *name : {"QUILLON_PROGRAMMER", "FAKE_PROGRAMMER_LOG", "FAKE_PROGRAMMER_OB",
                                 "FAKE_PROGRAMMER_WRITE", "FAKE_PROGRAMMER_LINES"})
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                                 : std::nullopt);
        setProgram(builtPath());
        qputenv("FAKE_PROGRAMMER_LOG", QFile::encodeName(logPath()));
        qunsetenv("FAKE_PROGRAMMER_OB");
        qunsetenv("FAKE_PROGRAMMER_WRITE");
        qunsetenv("FAKE_PROGRAMMER_LINES");
    }
    ~FakeProgrammer()
    {
        for (auto saved = m_saved.cbegin(); saved != m_saved.cend(); ++saved) {
            if (saved.value())
                qputenv(saved.key(), *saved.value());
            else
                qunsetenv(saved.key());
        }
    }
    FakeProgrammer(const FakeProgrammer &) = delete;
    FakeProgrammer &operator=(const FakeProgrammer &) = delete;

    // The fake as this build made it.
    static QString builtPath() { return builtProgram(QStringLiteral(FAKE_PROGRAMMER_PATH)); }
    void setProgram(const QString &path) { qputenv("QUILLON_PROGRAMMER", QFile::encodeName(path)); }
    // "ok", "exit:N", "crash" or "hang".
    void setOptionBytesBehaviour(const QByteArray &behaviour) { qputenv("FAKE_PROGRAMMER_OB", behaviour); }
    void setWriteBehaviour(const QByteArray &behaviour) { qputenv("FAKE_PROGRAMMER_WRITE", behaviour); }
    void setExtraOutputLines(int count) { qputenv("FAKE_PROGRAMMER_LINES", QByteArray::number(count)); }

    QString logPath() const { return m_dir.filePath(QStringLiteral("arguments.log")); }

    QList<Run> runs() const
    {
        QList<Run> result;
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return result;
        const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            if (line.startsWith(QLatin1String("#run ")))
                result.append(Run{line.mid(5).toLongLong(), {}});
            else if (!result.isEmpty() && !line.isEmpty())
                result.last().arguments << line;
        }
        return result;
    }

    // The helpers started by "hang-with-helper" runs, as their process ids.
    QList<qint64> helperIds() const
    {
        QList<qint64> ids;
        QFile helpers(logPath() + QStringLiteral(".helpers"));
        if (helpers.open(QIODevice::ReadOnly))
            for (const QByteArray &line : helpers.readAll().split('\n'))
                if (!line.trimmed().isEmpty())
                    ids << line.trimmed().toLongLong();
        return ids;
    }

    static bool processExists(qint64 processId) { return TestPlatform::processExists(processId); }
    static bool processRuns(qint64 processId) { return TestPlatform::processRuns(processId); }

private:
    QTemporaryDir m_dir;
    QHash<const char *, std::optional<QByteArray>> m_saved;
};
