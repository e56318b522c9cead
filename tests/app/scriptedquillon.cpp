// The real start-up of quillon with its boxes replaced, for tests that drive whole processes:
// every message box and question is written to the start-up log ("message: TITLE: TEXT",
// "ask: TITLE: TEXT [YES/NO]" with the Yes and No button texts as the box would show them) instead
// of being shown. A question is answered from the file named by QUILLON_TEST_ANSWER ("yes" or
// anything else for No); until that file exists the question stays open, with events turning as
// under a real modal box. Without the variable every question is answered No at once.
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include "startup.h"
#include "startuplog.h"
#include "userdialogs.h"

class LoggedDialogs : public UserDialogs {
public:
    void message(MessageKind, const QString &title, const QString &text) override
    {
        StartupLog::note(QStringLiteral("message: %1: %2").arg(title, text));
    }
    bool ask(const QString &title, const QString &text) override
    {
        StartupLog::note(QStringLiteral("ask: %1: %2 [%3/%4]")
                             .arg(title, text, QCoreApplication::translate("QPlatformTheme", "&Yes"),
                                  QCoreApplication::translate("QPlatformTheme", "&No")));
        const QString answerPath = qEnvironmentVariable("QUILLON_TEST_ANSWER");
        if (answerPath.isEmpty())
            return false;
        QEventLoop open;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &open, [&] {
            if (QFile::exists(answerPath))
                open.quit();
        });
        poll.start(20);
        if (!QFile::exists(answerPath))
            open.exec();
        QFile answer(answerPath);
        return answer.open(QIODevice::ReadOnly) && answer.readAll().trimmed() == "yes";
    }
    QString chooseDirectory(const QString &, const QString &) override { return QString(); }
    QString chooseFile(const QString &, const QString &, const QString &) override { return QString(); }
    std::optional<QString> askText(const QString &, const QString &, const QString &,
                                   const QValidator *) override
    {
        return std::nullopt;
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    LoggedDialogs dialogs;
    return Startup::run(dialogs);
}
