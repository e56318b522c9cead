#include "updatecheck.h"

#include <QThread>

UpdateCheck::UpdateCheck(SelfUpdate &update, const UpdateSource &source, const UpdateTimeouts &timeouts)
    : m_update(update), m_source(source), m_timeouts(timeouts)
{}

UpdateCheck::~UpdateCheck()
{
    if (!m_thread)
        return;
    m_thread->requestInterruption();
    m_thread->wait();
}

void UpdateCheck::start()
{
    if (m_thread)
        return;
    m_thread.reset(QThread::create([this] { m_found = m_update.findRelease(m_source, m_timeouts); }));
    // Delivered on this object's thread once the check's thread has ended: m_found is settled.
    connect(m_thread.get(), &QThread::finished, this, [this] { emit finished(m_found); });
    m_thread->start();
}
