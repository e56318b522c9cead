#include "clijobrun.h"

#include <atomic>
#include <utility>

#include <QTextStream>

#include "clireporter.h"
#include "platform.h"

namespace {

constexpr qint64 QuietMs = 1000;
constexpr qint64 Mebibyte = 1 << 20;

// The run an interrupt cancels, and the signal that did; read and written from a signal handler.
std::atomic<JobRun *> interruptibleRun{nullptr};
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<JobRun *>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

void cancelInterruptedRun(int signal)
{
    interruptSignal.store(signal);
    if (JobRun *run = interruptibleRun.load())
        run->cancel();
}

} // namespace

CliJobRun::CliJobRun(const QString &label, JobRun::ProblemConsumer problems)
    : m_label(label), m_toTerminal(Platform::standardErrorIsTerminal()),
      m_run([this](qint64 done, qint64 total) { showProgress(done, total); }, std::move(problems))
{
    m_clock.start();
    interruptSignal = 0;
    interruptibleRun = &m_run;
    Platform::setInterruptHandler(cancelInterruptedRun);
}

CliJobRun::~CliJobRun()
{
    Platform::setInterruptHandler(nullptr);
    interruptibleRun = nullptr;
    CliStatusLine::clear();
}

bool CliJobRun::interrupted() const
{
    return interruptSignal.load() != 0 && m_run.isCancelled();
}

int CliJobRun::reportInterrupted() const
{
    CliStatusLine::clear();
    cliErr() << "quillon-cli: " << JobRun::cancelledProblem().message << Qt::endl;
    return 128 + interruptSignal.load();
}

void CliJobRun::showProgress(qint64 done, qint64 total)
{
    if (!m_toTerminal || m_clock.elapsed() < QuietMs)
        return;
    // A pipe's size is known only at its end: until then the bytes read so far.
    if (total <= 0) {
        CliStatusLine::show(QStringLiteral("%1: %2 МиБ").arg(m_label).arg(done / Mebibyte));
        return;
    }
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    CliStatusLine::show(QStringLiteral("%1: %2%").arg(m_label).arg(percent));
}
