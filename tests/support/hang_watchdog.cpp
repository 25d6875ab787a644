// Linked into every test program. ctest runs one test per process, so a process still running
// after the watchdog's time has hung: rather than being killed silently by ctest's timeout, it
// prints every thread's stack (through gdb, when the machine has it) and aborts, so that the
// log of a hang that happens once in many runs says where it happened.
//
// KALDER_TEST_WATCHDOG_SECONDS sets the time (default 240, under ctest's 300); 0 turns it off.

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

void dumpThreadsAndAbort(long seconds) {
    std::fprintf(stderr, "\nhang watchdog: the test is still running after %ld s; thread stacks:\n",
                 seconds);
    std::fflush(stderr);
    const std::string pid = std::to_string(getpid());
    const pid_t child = fork();
    if (child == 0) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execlp("gdb", "gdb", "-p", pid.c_str(), "-batch", "-nx", "-ex", "set pagination off", "-ex",
               "thread apply all bt 40", static_cast<char*>(nullptr));
        std::fprintf(stderr, "hang watchdog: gdb is not available\n");
        _exit(127);
    }
    if (child > 0) {
        int status = 0;
        waitpid(child, &status, 0);
    }
    std::abort();
}

struct HangWatchdog {
    HangWatchdog() {
        long seconds = 240;
        if (const char* text = std::getenv("KALDER_TEST_WATCHDOG_SECONDS"))
            seconds = std::strtol(text, nullptr, 10);
        if (seconds <= 0)
            return;
        // Where the kernel allows only ancestors to attach, allow gdb (a child) to.
        prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
        // The thread owns no object that static destruction could take away under it: it only
        // sleeps and reads the clock, and the process ends around it.
        std::thread([seconds] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            while (std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            dumpThreadsAndAbort(seconds);
        }).detach();
    }
};

const HangWatchdog watchdog;

} // namespace
