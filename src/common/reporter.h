#pragma once

#include <QString>

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
