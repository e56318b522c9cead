#pragma once

#include <QList>

#include "problem.h"
#include "reporter.h"

// Messages go to standard error, one per line, with the same texts the window shows. Questions
// are answered by a fixed choice made from the command line (default: No).
class CliReporter : public Reporter {
public:
    explicit CliReporter(bool answerYes = false) : m_answerYes(answerYes) {}
    void message(MessageKind kind, const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;

private:
    bool m_answerYes;
};

// A line on standard error that is written over as a job goes on (its progress). Any message
// printed through the reporter clears it first, so that no message is glued to it.
namespace CliStatusLine {
void show(const QString &text);
void clear();
} // namespace CliStatusLine

// Prints each problem on standard error, "warning: " or "error: " before its text.
void printProblems(const QList<Problem> &problems);

// Standard output and error as UTF-8 text streams shared by all commands.
class QTextStream;
QTextStream &cliOut();
QTextStream &cliErr();
