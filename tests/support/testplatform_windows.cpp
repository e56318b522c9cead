#include "testplatform.h"

#include <windows.h>

namespace {

using ProcessCall = LONG(NTAPI *)(HANDLE);

// NtSuspendProcess and NtResumeProcess: what a debugger uses to stop every thread of a process.
bool callOnProcess(qint64 processId, const char *function)
{
    const auto call = reinterpret_cast<ProcessCall>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), function)));
    HANDLE process = OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, DWORD(processId));
    if (!call || !process)
        return false;
    const bool done = call(process) >= 0;
    CloseHandle(process);
    return done;
}

} // namespace

namespace TestPlatform {

bool isPosix()
{
    return false;
}

bool isSuperUser()
{
    return false;
}

bool setMode(const QString &, unsigned)
{
    return false;
}

bool giveToNobody(const QString &)
{
    return false;
}

bool fileNamesIgnoreCase()
{
    return true;
}

unsigned exchangeUmask(unsigned)
{
    return 0;
}

bool makeFifo(const QString &)
{
    return false;
}

bool writeToFifo(const QString &, const QByteArray &)
{
    return false;
}

QByteArray settingsText(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

bool processExists(qint64 processId)
{
    return processRuns(processId);
}

bool processRuns(qint64 processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return false;
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

bool suspendProcess(qint64 processId)
{
    return callOnProcess(processId, "NtSuspendProcess");
}

bool resumeProcess(qint64 processId)
{
    return callOnProcess(processId, "NtResumeProcess");
}

bool terminateProcess(qint64 processId)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(processId));
    if (!process)
        return false;
    const bool ended = TerminateProcess(process, 1);
    CloseHandle(process);
    return ended;
}

bool interruptProcess(qint64)
{
    return false;
}

bool hangUpProcess(qint64)
{
    return false;
}

OpenCounter::OpenCounter() = default;

OpenCounter::~OpenCounter() = default;

bool OpenCounter::watch(const QString &)
{
    return false;
}

QMap<QString, int> OpenCounter::opens()
{
    return m_opens;
}

} // namespace TestPlatform
