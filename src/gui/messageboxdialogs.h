#pragma once

#include "gui/userdialogs.h"

// The real boxes and dialogs: modal, without a parent window where the program has always shown
// them so, each deleted after use.
class MessageBoxDialogs : public UserDialogs {
public:
    void message(MessageKind kind, const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;
    QString chooseDirectory(QWidget *parent, const QString &caption, const QString &startDir) override;
    QString chooseFile(QWidget *parent, const QString &caption, const QString &startDir,
                       const QString &filter) override;
    std::optional<int> askInteger(QWidget *parent, const QString &title, const QString &label, int value,
                                  int minimum, int maximum, int step) override;
};
