#pragma once

#include <optional>

#include <QApplication>
#include <QList>
#include <QProgressDialog>
#include <QQueue>
#include <QStringList>
#include <QValidator>

#include "userdialogs.h"

// The tests' stand-in for every box and dialog: answers come from queues filled by the test, and
// every call is recorded so a test can assert on exactly what a user would have been shown.
// An unscripted question is answered "No" / cancelled, never by opening a real dialog.
class ScriptedDialogs : public UserDialogs {
public:
    enum class Call { Message, Ask, ChooseDirectory, ChooseFile, AskText };
    struct Record {
        Call call;
        MessageKind kind = MessageKind::Information;
        QString title; // title or caption
        QString text;  // message text or input label
        QString startDir;
        QString filter;
        // The box or dialog would belong to the main window (and so stay in front of it).
        bool hadParent = false;
        // A progress dialog was on the screen when the box or dialog opened.
        bool progressShown = false;
        QString value;              // an input dialog's starting text
        bool answerRefused = false; // the input dialog's validator did not take the answer
    };

    QList<Record> records;
    QQueue<bool> askAnswers;
    QQueue<QString> directoryAnswers;
    QQueue<QString> fileAnswers;
    // An answer the dialog's validator does not accept cannot be confirmed: the dialog is cancelled.
    QQueue<std::optional<QString>> textAnswers;

    void message(MessageKind kind, const QString &title, const QString &text) override
    {
        records.append(record(Call::Message, kind, title, text));
    }
    bool ask(const QString &title, const QString &text) override
    {
        records.append(record(Call::Ask, MessageKind::Information, title, text));
        return askAnswers.isEmpty() ? false : askAnswers.dequeue();
    }
    QString chooseDirectory(const QString &caption, const QString &startDir) override
    {
        Record made = record(Call::ChooseDirectory, MessageKind::Information, caption, {});
        made.startDir = startDir;
        records.append(made);
        return directoryAnswers.isEmpty() ? QString() : directoryAnswers.dequeue();
    }
    QString chooseFile(const QString &caption, const QString &startDir, const QString &filter) override
    {
        Record made = record(Call::ChooseFile, MessageKind::Information, caption, {});
        made.startDir = startDir;
        made.filter = filter;
        records.append(made);
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    std::optional<QString> askText(const QString &title, const QString &label, const QString &value,
                                   const QValidator *validator) override
    {
        Record made = record(Call::AskText, MessageKind::Information, title, label);
        made.value = value;
        std::optional<QString> answer = textAnswers.isEmpty() ? std::nullopt : textAnswers.dequeue();
        if (answer && validator) {
            QString text = *answer;
            int position = 0;
            made.answerRefused = validator->validate(text, position) != QValidator::Acceptable;
        }
        records.append(made);
        return made.answerRefused ? std::nullopt : answer;
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

    // The same without the folder and files a build names after "Сборка завершена".
    QStringList messageSummaries() const
    {
        QStringList texts;
        for (const QString &text : messageTexts())
            texts << text.section(QStringLiteral("\n\nЗаписано в папку "), 0, 0);
        return texts;
    }

private:
    Record record(Call call, MessageKind kind, const QString &title, const QString &text) const
    {
        Record made;
        made.call = call;
        made.kind = kind;
        made.title = title;
        made.text = text;
        made.hadParent = window() != nullptr;
        for (QWidget *widget : QApplication::allWidgets()) {
            if (qobject_cast<QProgressDialog *>(widget) && widget->isVisible())
                made.progressShown = true;
        }
        return made;
    }
};
