#pragma once

#include "sim/client_connection.h"
#include "sim/media_source.h"
#include "sim/recorder_model.h"
#include "sim/sim_config.h"
#include "sim/time_server.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kalder::sim {

// The listening recorder: accepts clients (one ClientConnection each), reaps ended ones and
// serves the admin command port. run() is called on the main thread and returns when the stop
// flag rises or an admin "quit" arrives.
class SimServer {
public:
    SimServer(const SimConfig& config, RecorderModel& model, const MediaSource& media);
    ~SimServer();

    // Binds and listens on the recorder port and, if configured, the admin port.
    bool listen(std::string& error);
    std::uint16_t port() const { return m_port; }
    std::optional<std::uint16_t> adminPort() const { return m_adminPort; }
    TimeServer* timeServer() { return m_timeServer.get(); } // null without --time-port

    void run(const std::atomic<bool>& stopFlag);

    // For the admin commands (admin thread).
    RecorderModel& model() { return m_model; }
    std::vector<std::string> describeClients();
    // Runs `fn` on every logged-in client (or only on client `onlyId` when set); returns how many.
    unsigned forEachClient(const std::function<void(ClientConnection&)>& fn,
                           std::optional<int> onlyId = std::nullopt);
    void requestQuit() { m_quit = true; }

private:
    void acceptClient();
    void reapEnded(bool all);
    void adminLoop();

    SimConfig m_config;
    RecorderModel& m_model;
    const MediaSource& m_media;
    const std::chrono::steady_clock::time_point m_epoch;

    int m_listenFd = -1;
    int m_adminFd = -1;
    std::uint16_t m_port = 0;
    std::optional<std::uint16_t> m_adminPort;
    std::unique_ptr<TimeServer> m_timeServer;

    std::mutex m_clientsMutex; // guards m_clients and m_nextId
    std::vector<std::unique_ptr<ClientConnection>> m_clients;
    int m_nextId = 1;

    std::atomic<bool> m_quit{false};
    std::thread m_adminThread;
};

// Carries out one admin command line and returns the one-line reply ("ok ..." or "error ...").
std::string runAdminCommand(SimServer& server, const std::string& line);
// The "play-..." commands: `words` is the command and its arguments.
std::string runPlaybackAdminCommand(SimServer& server, const std::vector<std::string>& words,
                                    std::optional<int> only);
// backup_admin.cpp: the "backup-" commands.
std::string runBackupAdminCommand(SimServer& server, const std::vector<std::string>& words,
                                  std::optional<int> only);

} // namespace kalder::sim
