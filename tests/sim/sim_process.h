#pragma once

// Starts kalder-recorder-sim for an end-to-end test and talks to its admin port.
//
//   kalder::test::SimProcess sim;
//   ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
//   connect to 127.0.0.1:sim.port() ...
//   EXPECT_EQ(sim.admin("videoloss 2 1"), "ok");
//   sim.stop();   // also done by the destructor
//
// The simulator runs with --port 0 --admin-port 0 and a video cache under the build's test cache
// folder, so tests may run in parallel. Admin commands are listed in sim/README.md.

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kalder::test {

// One command to a simulator's admin port on loopback: its one-line reply without the line end,
// or an empty text when the port cannot be reached or says nothing within `timeout`.
inline std::string simAdminCommand(std::uint16_t adminPort, const std::string& command,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(adminPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string line = command + "\n";
        if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(line.size())) {
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            char c;
            while (std::chrono::steady_clock::now() < deadline) {
                pollfd pfd{fd, POLLIN, 0};
                if (::poll(&pfd, 1, 50) <= 0)
                    continue;
                if (::recv(fd, &c, 1, 0) != 1 || c == '\n')
                    break;
                reply.push_back(c);
            }
        }
    }
    ::close(fd);
    return reply;
}

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The simulator program: $KALDER_SIM_PROGRAM, else kalder-recorder-sim in the program folder.
    static std::string programPath() {
        if (const char* env = std::getenv("KALDER_SIM_PROGRAM"); env && *env)
            return env;
#ifdef KALDER_PROGRAM_DIR
        return std::string(KALDER_PROGRAM_DIR) + "/kalder-recorder-sim";
#else
        return "kalder-recorder-sim";
#endif
    }

    // Where the simulator keeps its encoded video between runs.
    static std::string cacheDir() {
#ifdef KALDER_TEST_CACHE_DIR
        return std::string(KALDER_TEST_CACHE_DIR) + "/sim";
#else
        return "/tmp/kalder-test-cache/sim";
#endif
    }

    // Starts the simulator with `extraArgs` after the defaults and waits until it has printed
    // its ports (it prints them once its video is ready). False on failure; see lastError().
    bool start(const std::vector<std::string>& extraArgs = {},
               std::chrono::seconds timeout = std::chrono::seconds(180)) {
        stop();
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return fail("pipe failed");
        // --exit-with-parent: a test that dies without stop() leaves no simulator behind.
        std::vector<std::string> args = {
            programPath(), "--port",      "0",        "--admin-port",
            "0",           "--cache-dir", cacheDir(), "--exit-with-parent"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            ::close(out[0]);
            return fail("cannot start " + args[0]);
        }
        m_pid = pid;
        m_stdout = out[0];
        // First line: the recorder port; second: "admin <port>".
        std::string first, second;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        if (!readLine(first, deadline) || !readLine(second, deadline)) {
            stop();
            return fail("the simulator printed no ports (it may have failed to start)");
        }
        m_port = static_cast<std::uint16_t>(std::atoi(first.c_str()));
        if (second.rfind("admin ", 0) == 0)
            m_adminPort = static_cast<std::uint16_t>(std::atoi(second.c_str() + 6));
        if (m_port == 0 || m_adminPort == 0) {
            stop();
            return fail("unexpected start lines: '" + first + "', '" + second + "'");
        }
        return true;
    }

    std::uint16_t port() const {
        return m_port;
    }
    std::uint16_t adminPort() const {
        return m_adminPort;
    }
    pid_t pid() const {
        return m_pid;
    }
    bool running() const {
        return m_pid > 0;
    }
    const std::string& lastError() const {
        return m_error;
    }

    // Sends one admin command and returns its one-line reply without the line end ("ok ...",
    // "error ..."), or an empty text when the admin port cannot be reached.
    std::string admin(const std::string& command,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) {
        return m_adminPort == 0 ? std::string() : simAdminCommand(m_adminPort, command, timeout);
    }

    // Polls "logged-in" until at least `count` clients are logged in.
    bool waitForLoggedIn(unsigned count,
                         std::chrono::milliseconds timeout = std::chrono::milliseconds(20000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string reply = admin("logged-in");
            if (reply.rfind("ok ", 0) == 0 &&
                static_cast<unsigned>(std::atoi(reply.c_str() + 3)) >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Ends the simulator (SIGTERM, then SIGKILL after 10 s). True when it exited with status 0.
    bool stop() {
        bool clean = true;
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            pid_t done = 0;
            while ((done = ::waitpid(m_pid, &status, WNOHANG)) == 0 &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (done == 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                clean = false;
            } else {
                clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            m_pid = -1;
        }
        if (m_stdout >= 0) {
            ::close(m_stdout);
            m_stdout = -1;
        }
        m_port = 0;
        m_adminPort = 0;
        return clean;
    }

private:
    bool fail(std::string text) {
        m_error = std::move(text);
        return false;
    }

    bool readLine(std::string& line, std::chrono::steady_clock::time_point deadline) {
        line.clear();
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{m_stdout, POLLIN, 0};
            if (::poll(&pfd, 1, 100) <= 0)
                continue;
            char c;
            if (::read(m_stdout, &c, 1) != 1)
                return false;
            if (c == '\n')
                return true;
            line.push_back(c);
        }
        return false;
    }

    pid_t m_pid = -1;
    int m_stdout = -1;
    std::uint16_t m_port = 0;
    std::uint16_t m_adminPort = 0;
    std::string m_error;
};

} // namespace kalder::test
