#pragma once

#include <QString>

#include "problem.h"

// How the core tells a user something without knowing whether a window, a terminal or a test
// is listening. The window shows message boxes, quillon-cli prints to standard error, the tests
// record every call.
enum class MessageKind { Information, Warning, Critical };

class Reporter {
public:
    virtual ~Reporter() = default;
    // Shows (or prints) one message and returns when the user has acknowledged it.
    virtual void message(MessageKind kind, const QString &title, const QString &text) = 0;
    // A Yes / No question; true means Yes.
    virtual bool ask(const QString &title, const QString &text) = 0;
};

// Titles shared by most boxes of the program.
namespace ReportTitle {
inline QString error()
{
    return QStringLiteral("Error!");
}
inline QString warning()
{
    return QStringLiteral("Предупреждение!");
}
inline QString complete()
{
    return QStringLiteral("Complete!");
}
} // namespace ReportTitle

// Shows a problem as a box of its severity: "Error!" for an error, "Предупреждение!" for a warning
// or a note, unless the problem names a title of its own; its text names the file and line.
inline void reportProblem(Reporter &reporter, const Problem &problem)
{
    const bool error = problem.isError();
    const QString title = !problem.title.isEmpty() ? problem.title
                          : error                  ? ReportTitle::error()
                                                   : ReportTitle::warning();
    reporter.message(error ? MessageKind::Critical : MessageKind::Warning, title, problem.toString());
}
