#pragma once

// What the fake programmer does differently on POSIX systems and on Windows
// (fakeprogrammerprocess_posix.cpp, fakeprogrammerprocess_windows.cpp).
#include <string>
#include <vector>

namespace FakeProgrammerProcess {

// The argument that makes the fake a sleeping helper instead of a programmer.
inline constexpr char helperArgument[] = "--sleeping-helper";

long long ownId();
// The arguments after the program's name, in UTF-8 (Windows hands main() its ANSI code page's
// bytes, where Cyrillic letters become "?").
std::vector<std::string> arguments(int argc, char *argv[]);
// Dies as a crashing program does: of SIGSEGV, or with an access violation's exit status.
[[noreturn]] void crash();
// Starts a child process that sleeps far longer than any test's time-out, as one the real
// programmer starts would; returns its process id.
long long startHelper(const char *ownPath);

} // namespace FakeProgrammerProcess
