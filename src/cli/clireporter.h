#pragma once

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

// Standard output and error as UTF-8 text streams shared by all commands.
class QTextStream;
QTextStream &cliOut();
QTextStream &cliErr();
