#pragma once

#include "userdialogs.h"

// The real boxes and dialogs: modal, over the main window, each deleted after use. A question's
// default answer is No: every question of the program is about replacing or resetting something.
class MessageBoxDialogs : public UserDialogs {
public:
    void message(MessageKind kind, const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;
    QString chooseDirectory(const QString &caption, const QString &startDir) override;
    QString chooseFile(const QString &caption, const QString &startDir, const QString &filter) override;
    std::optional<QString> askText(const QString &title, const QString &label, const QString &value,
                                   const QValidator *validator) override;
};
