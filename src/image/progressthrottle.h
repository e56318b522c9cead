#pragma once

#include <QElapsedTimer>

#include "progress.h"

// Passes progress on at most once per interval, so that reporting never costs more than the work.
class ProgressThrottle {
public:
    static constexpr qint64 IntervalMs = 15;

    ProgressThrottle(const ProgressCallback &callback, qint64 total) : m_callback(callback), m_total(total)
    {
        m_timer.start();
    }

    // True when an interval has passed (and progress was passed on): the moment to poll for a cancel.
    bool update(qint64 done)
    {
        if (m_timer.elapsed() < IntervalMs)
            return false;
        if (m_callback)
            m_callback(done, m_total);
        m_timer.restart();
        return true;
    }
    void finish()
    {
        if (m_callback)
            m_callback(m_total, m_total);
    }

private:
    const ProgressCallback &m_callback;
    qint64 m_total;
    QElapsedTimer m_timer;
};
