#include "flashdialog.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "userdialogs.h"

namespace {
constexpr int maxShownLines = 10000;
}

FlashDialog::FlashDialog(QWidget *parent, UserDialogs &dialogs)
    : QDialog(parent), m_dialogs(dialogs), m_runner(new ProgrammerRunner(this)), m_status(new QLabel(this)),
      m_output(new QPlainTextEdit(this)), m_button(new QPushButton(QStringLiteral("Отмена"), this))
{
    setObjectName(QStringLiteral("FlashDialog"));
    setWindowTitle(QStringLiteral("Прошивка"));
    setWindowModality(Qt::WindowModal);
    resize(640, 400);

    m_status->setObjectName(QStringLiteral("FlashDialogStatus"));
    m_output->setObjectName(QStringLiteral("FlashDialogOutput"));
    m_output->setReadOnly(true);
    m_output->setMaximumBlockCount(maxShownLines);
    m_output->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_button->setObjectName(QStringLiteral("FlashDialogButton"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_output);
    layout->addWidget(m_button, 0, Qt::AlignRight);

    connect(m_button, &QPushButton::clicked, this, &FlashDialog::reject);
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
    connect(m_runner, &ProgrammerRunner::stepStarted, this, &FlashDialog::showStep);
    connect(m_runner, &ProgrammerRunner::outputReceived, this, &FlashDialog::appendOutput);
    connect(m_runner, &ProgrammerRunner::finished, this, &FlashDialog::runnerFinished);
}

void FlashDialog::start(const FlashPlan &plan)
{
    m_stepDescriptions.clear();
    for (const ProgrammerStep &step : plan.steps)
        m_stepDescriptions << step.description;
    m_button->setText(QStringLiteral("Отмена"));
    m_runner->start(plan.program, plan.steps);
}

void FlashDialog::reject()
{
    if (m_runner->isRunning()) {
        // The flashing may end, and a good one close this dialog, while the question is open.
        const QPointer<FlashDialog> self(this);
        const bool abort = m_dialogs.ask(ReportTitle::warning(),
                                         QStringLiteral("Прервать прошивку? Плата может остаться стертой."));
        if (!self || !abort)
            return;
    }
    m_runner->cancel(); // nothing to do when it ended while the question was open
    QDialog::reject();
}

void FlashDialog::showStep(int index, const QString &commandLine)
{
    m_status->setText(QStringLiteral("Шаг %1 из %2: %3…")
                          .arg(index + 1)
                          .arg(m_stepDescriptions.size())
                          .arg(m_stepDescriptions.value(index)));
    appendOutput(QStringLiteral("> ") + commandLine + QLatin1Char('\n'));
}

void FlashDialog::appendOutput(const QString &text)
{
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QScrollBar *scroll = m_output->verticalScrollBar();
    const bool followEnd = scroll->value() == scroll->maximum();
    m_output->moveCursor(QTextCursor::End);
    m_output->insertPlainText(normalized);
    if (followEnd)
        scroll->setValue(scroll->maximum());
}

void FlashDialog::runnerFinished(bool succeeded)
{
    m_status->setText(succeeded ? m_runner->message() : m_runner->message().section(QLatin1Char('\n'), 0, 0));
    m_button->setText(QStringLiteral("Закрыть"));
    // The output of a flashing that went wrong stays for reading; a good one needs only its box.
    if (m_runner->outcome() == ProgrammerRunner::Outcome::Succeeded)
        accept();
    emit flashingFinished(m_runner->outcome(), m_runner->message());
}
