#include "messageboxdialogs.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

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
    QMessageBox box(iconFor(kind), title, text, QMessageBox::Ok, window());
    box.exec();
}

bool MessageBoxDialogs::ask(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, window());
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString MessageBoxDialogs::chooseDirectory(const QString &caption, const QString &startDir)
{
    return QFileDialog::getExistingDirectory(window(), caption, startDir, QFileDialog::ShowDirsOnly);
}

QString MessageBoxDialogs::chooseFile(const QString &caption, const QString &startDir, const QString &filter)
{
    return QFileDialog::getOpenFileName(window(), caption, startDir, filter);
}

std::optional<QString> MessageBoxDialogs::askText(const QString &title, const QString &label,
                                                  const QString &value, const QValidator *validator)
{
    QInputDialog dialog(window());
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(value);
    // The dialog takes only what the validator accepts: "OK" stays off until the text is whole.
    if (auto *edit = dialog.findChild<QLineEdit *>(); edit && validator) {
        edit->setValidator(validator);
        const auto judge = [&dialog, edit] {
            if (auto *ok = dialog.findChild<QDialogButtonBox *>())
                ok->button(QDialogButtonBox::Ok)->setEnabled(edit->hasAcceptableInput());
        };
        QObject::connect(edit, &QLineEdit::textChanged, &dialog, judge);
        judge();
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}
