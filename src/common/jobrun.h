#pragma once

#include <atomic>
#include <functional>

#include <QElapsedTimer>
#include <QList>
#include <QMutex>

#include "problem.h"

// One run of a job, the one way every job reports progress, learns that it is to stop and hands its
// problems on. The caller (the window, quillon-cli, a test) gives the consumers and may cancel from
// any thread while the job runs on another: the window runs jobs on a worker thread and cancels from
// its own.
//
// The consumers are called on the thread that reports, progress at most once per interval (and at
// the first report and the last, done == total), so that showing progress never costs more than the
// work; a consumer on another thread's objects forwards through a queued connection. A problem
// consumer must not report to the same run.
class JobRun {
public:
    using ProgressConsumer = std::function<void(qint64 done, qint64 total)>;
    using ProblemConsumer = std::function<void(const Problem &problem)>;

    static constexpr qint64 DefaultIntervalMs = 15;
    static constexpr int PerMille = 1000;

    explicit JobRun(ProgressConsumer progress = {}, ProblemConsumer problems = {},
                    qint64 intervalMs = DefaultIntervalMs);
    JobRun(const JobRun &) = delete;
    JobRun &operator=(const JobRun &) = delete;

    // Progress as "done out of total" in the job's own unit (bytes, pieces); a total of 0 or less
    // is not known yet (a pipe).
    void setProgress(qint64 done, qint64 total);
    // The share of the whole run that the next reports fill, in thousandths: a job of several steps
    // (read, then write; one image after another) gives each step its share, and each step reports
    // in its own unit. The consumer then gets thousandths of the whole run.
    void setStage(int fromPerMille, int toPerMille);

    // Asks the job to stop; it stops at its next look, leaving no output behind. Safe in a signal
    // handler: it only sets a lock-free flag.
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // What a job that stopped because it was cancelled gives as its problem.
    static Problem cancelledProblem();

    void report(const Problem &problem);
    // Every problem reported so far, in order.
    QList<Problem> problems() const;
    bool hasErrors() const;

private:
    ProgressConsumer m_progress;
    ProblemConsumer m_problemConsumer;
    const qint64 m_intervalMs;
    QElapsedTimer m_clock;
    std::atomic<qint64> m_lastPassedOnMs{-1}; // -1: no progress passed on yet
    std::atomic<bool> m_cancelled{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::atomic<int> m_stageFrom{0};
    std::atomic<int> m_stageTo{0};  // 0: no stage, progress is passed on in the job's unit
    mutable QMutex m_problemsMutex; // guards m_problems
    QMutex m_consumerMutex;         // one problem consumer call at a time
    QList<Problem> m_problems;
};
