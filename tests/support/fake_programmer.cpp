// Stands in for STM32_Programmer_CLI in the tests. It appends its arguments, one per line, after
// a "#run <process id>" line to the file named by FAKE_PROGRAMMER_LOG, writes a few lines to standard output
// and standard error, and then behaves as FAKE_PROGRAMMER_OB (for the option-byte run, the one
// with "-ob") or FAKE_PROGRAMMER_WRITE (any other run) says:
//   unset or "ok"  exit 0        "exit:N"  exit with code N
//   "crash"        die of SIGSEGV "hang"    sleep far longer than any test's time-out
//   "hang-with-helper"  start a helper process that sleeps as long (its process id goes to
//                  FAKE_PROGRAMMER_LOG + ".helpers"), then hang as well
//   "ok-with-helper"    start such a helper, then exit 0 without waiting for it
//   "error-lines"       print two "Error: ..." lines, then exit 0
// FAKE_PROGRAMMER_LINES=N adds N numbered lines of output first.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "fakeprogrammerprocess.h"

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], FakeProgrammerProcess::helperArgument) == 0) {
        std::this_thread::sleep_for(std::chrono::minutes(10));
        return 0;
    }
    const std::vector<std::string> arguments = FakeProgrammerProcess::arguments(argc, argv);
    bool optionBytes = false;
    for (const std::string &argument : arguments)
        optionBytes = optionBytes || argument == "-ob";
    const char *stepName = optionBytes ? "option bytes" : "erase and write";

    if (const char *logPath = std::getenv("FAKE_PROGRAMMER_LOG")) {
        std::ofstream log(logPath, std::ios::app | std::ios::binary);
        log << "#run " << FakeProgrammerProcess::ownId() << '\n';
        for (const std::string &argument : arguments)
            log << argument << '\n';
    }

    const char *linesText = std::getenv("FAKE_PROGRAMMER_LINES");
    const int lines = linesText ? std::atoi(linesText) : 0;
    for (int i = 1; i <= lines; ++i)
        std::printf("output line %d\n", i);
    std::printf("fake programmer: %s\n", stepName);
    std::fflush(stdout);
    std::fprintf(stderr, "fake programmer error stream: %s\n", stepName);
    std::fflush(stderr);

    const char *behaviourText = std::getenv(optionBytes ? "FAKE_PROGRAMMER_OB" : "FAKE_PROGRAMMER_WRITE");
    const std::string behaviour = behaviourText ? behaviourText : "ok";
    if (behaviour == "crash") {
        FakeProgrammerProcess::crash();
        return 99; // not reached
    }
    if (behaviour == "hang-with-helper" || behaviour == "ok-with-helper") {
        const long long helper = FakeProgrammerProcess::startHelper(argv[0]);
        if (const char *logPath = std::getenv("FAKE_PROGRAMMER_LOG")) {
            std::ofstream helpers(std::string(logPath) + ".helpers", std::ios::app);
            helpers << helper << '\n';
        }
        if (behaviour == "ok-with-helper")
            return 0;
        std::this_thread::sleep_for(std::chrono::minutes(10));
        return 98;
    }
    if (behaviour == "error-lines") {
        std::printf("Error: No STM32 target found!\n  Error: Connection to the target failed\n");
        return 0;
    }
    if (behaviour == "hang") {
        std::this_thread::sleep_for(std::chrono::minutes(10));
        return 98;
    }
    if (behaviour.rfind("exit:", 0) == 0)
        return std::atoi(behaviour.c_str() + 5);
    return 0;
}
