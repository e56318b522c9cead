#pragma once

#include <optional>

#include <QList>
#include <QQueue>
#include <QStringList>

#include "gui/userdialogs.h"

// The tests' stand-in for every box and dialog: answers come from queues filled by the test, and
// every call is recorded so a test can assert on exactly what a user would have been shown.
// An unscripted question is answered "No" / cancelled, never by opening a real dialog.
class ScriptedDialogs : public UserDialogs {
public:
    enum class Call { Message, Ask, ChooseDirectory, ChooseFile, AskInteger };
    struct Record {
        Call call;
        MessageKind kind = MessageKind::Information;
        QString title; // title or caption
        QString text;  // message text or input label
        QString startDir;
        QString filter;
        bool hadParent = false;
    };

    QList<Record> records;
    QQueue<bool> askAnswers;
    QQueue<QString> directoryAnswers;
    QQueue<QString> fileAnswers;
    QQueue<std::optional<int>> integerAnswers;

    void message(MessageKind kind, const QString &title, const QString &text) override
    {
        records.append({Call::Message, kind, title, text, {}, {}, false});
    }
    bool ask(const QString &title, const QString &text) override
    {
        records.append({Call::Ask, MessageKind::Information, title, text, {}, {}, false});
        return askAnswers.isEmpty() ? false : askAnswers.dequeue();
    }
    QString chooseDirectory(QWidget *parent, const QString &caption, const QString &startDir) override
    {
        records.append(
            {Call::ChooseDirectory, MessageKind::Information, caption, {}, startDir, {}, parent != nullptr});
        return directoryAnswers.isEmpty() ? QString() : directoryAnswers.dequeue();
    }
    QString chooseFile(QWidget *parent, const QString &caption, const QString &startDir,
                       const QString &filter) override
    {
        records.append(
            {Call::ChooseFile, MessageKind::Information, caption, {}, startDir, filter, parent != nullptr});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    std::optional<int> askInteger(QWidget *parent, const QString &title, const QString &label, int value,
                                  int minimum, int maximum, int step) override
    {
        Q_UNUSED(value);
        Q_UNUSED(minimum);
        Q_UNUSED(maximum);
        Q_UNUSED(step);
        records.append({Call::AskInteger, MessageKind::Information, title, label, {}, {}, parent != nullptr});
        return integerAnswers.isEmpty() ? std::nullopt : integerAnswers.dequeue();
    }

    // Only the message boxes, in order.
    QList<Record> messages() const
    {
        QList<Record> result;
        for (const Record &record : records)
            if (record.call == Call::Message)
                result.append(record);
        return result;
    }
    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Record &record : messages())
            texts << record.text;
        return texts;
    }
};
