#include "gui/messageboxdialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

static QMessageBox::Icon iconFor(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

void MessageBoxDialogs::message(MessageKind kind, const QString &title, const QString &text)
{
    QMessageBox box(iconFor(kind), title, text, QMessageBox::Ok);
    box.exec();
}

bool MessageBoxDialogs::ask(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString MessageBoxDialogs::chooseDirectory(QWidget *parent, const QString &caption, const QString &startDir)
{
    return QFileDialog::getExistingDirectory(parent, caption, startDir, QFileDialog::ShowDirsOnly);
}

QString MessageBoxDialogs::chooseFile(QWidget *parent, const QString &caption, const QString &startDir,
                                      const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, startDir, filter);
}

std::optional<int> MessageBoxDialogs::askInteger(QWidget *parent, const QString &title, const QString &label,
                                                 int value, int minimum, int maximum, int step)
{
    bool accepted = false;
    const int entered = QInputDialog::getInt(parent, title, label, value, minimum, maximum, step, &accepted);
    if (!accepted)
        return std::nullopt;
    return entered;
}
