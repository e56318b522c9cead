#include "jobrun.h"

#include <utility>

#include <QMutexLocker>

JobRun::JobRun(ProgressConsumer progress, ProblemConsumer problems, qint64 intervalMs)
    : m_progress(std::move(progress)), m_problemConsumer(std::move(problems)), m_intervalMs(intervalMs)
{
    m_clock.start();
}

void JobRun::setProgress(qint64 done, qint64 total)
{
    if (!m_progress)
        return;
    const int stageTo = m_stageTo.load(std::memory_order_relaxed);
    if (stageTo > 0) {
        const int stageFrom = m_stageFrom.load(std::memory_order_relaxed);
        done = stageFrom + (total > 0 ? qBound<qint64>(0, done, total) * (stageTo - stageFrom) / total : 0);
        total = PerMille;
    }
    const qint64 now = m_clock.elapsed();
    qint64 last = m_lastPassedOnMs.load(std::memory_order_relaxed);
    if (total > 0 && done >= total) {
        m_lastPassedOnMs.store(now, std::memory_order_relaxed);
    } else if (last >= 0 && now - last < m_intervalMs) {
        return;
    } else if (!m_lastPassedOnMs.compare_exchange_strong(last, now, std::memory_order_relaxed)) {
        return; // another thread passed this moment on
    }
    m_progress(done, total);
}

void JobRun::setStage(int fromPerMille, int toPerMille)
{
    m_stageFrom.store(qBound(0, fromPerMille, PerMille), std::memory_order_relaxed);
    m_stageTo.store(qBound(0, toPerMille, PerMille), std::memory_order_relaxed);
}

Problem JobRun::cancelledProblem()
{
    return Problem::error(QStringLiteral("прервано, незаконченный файл не записан"));
}

void JobRun::report(const Problem &problem)
{
    {
        const QMutexLocker locker(&m_problemsMutex);
        m_problems.append(problem);
    }
    if (m_problemConsumer) {
        const QMutexLocker locker(&m_consumerMutex);
        m_problemConsumer(problem);
    }
}

QList<Problem> JobRun::problems() const
{
    const QMutexLocker locker(&m_problemsMutex);
    return m_problems;
}

bool JobRun::hasErrors() const
{
    const QMutexLocker locker(&m_problemsMutex);
    return firstError(m_problems).has_value();
}
