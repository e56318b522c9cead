#include "fakeprogrammerprocess.h"

#include <chrono>
#include <csignal>
#include <thread>

#include <unistd.h>

namespace FakeProgrammerProcess {

long long ownId()
{
    return ::getpid();
}

std::vector<std::string> arguments(int argc, char *argv[])
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void crash()
{
    // A sanitizer build installs its own SIGSEGV handler, which would turn the crash into an
    // ordinary exit; the default action makes it a real crash in every build.
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    ::_exit(99); // not reached
}

long long startHelper(const char *)
{
    // A fork stays in the fake's process group, as a child of the real programmer would.
    const pid_t helper = ::fork();
    if (helper == 0) {
        std::this_thread::sleep_for(std::chrono::minutes(10));
        ::_exit(0);
    }
    return helper;
}

} // namespace FakeProgrammerProcess
