#include "fakeprogrammerprocess.h"

#include <string>

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace FakeProgrammerProcess {

long long ownId()
{
    return GetCurrentProcessId();
}

std::vector<std::string> arguments(int, char *[])
{
    std::vector<std::string> result;
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(size > 0 ? size - 1 : 0, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), size, nullptr, nullptr);
        result.push_back(utf8);
    }
    LocalFree(wide);
    return result;
}

void crash()
{
    // What Windows does to a program that touches memory it does not own and has no handler.
    TerminateProcess(GetCurrentProcess(), DWORD(EXCEPTION_ACCESS_VIOLATION));
    ExitProcess(99); // not reached
}

long long startHelper(const char *)
{
    // The same executable, as a child of this process: taskkill /T finds it through its parent.
    wchar_t ownPath[MAX_PATH];
    if (GetModuleFileNameW(nullptr, ownPath, MAX_PATH) == 0)
        return 0;
    const std::wstring argument(helperArgument, helperArgument + sizeof(helperArgument) - 1);
    std::wstring commandLine = L"\"" + std::wstring(ownPath) + L"\" " + argument;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(ownPath, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return 0;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return started.dwProcessId;
}

} // namespace FakeProgrammerProcess
