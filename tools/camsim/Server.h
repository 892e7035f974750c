#pragma once
#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/camsim/Connection.h"
#include "tools/camsim/EventLog.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/Options.h"
#include "tools/camsim/SettingsState.h"
#include "tools/camsim/Socket.h"

namespace camsim {

// The simulated camera: a listening socket and one thread per client.
class Server {
public:
    explicit Server(Options options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens the logs, reads --frames, binds and starts accepting. False with a message
    // when any of that fails.
    bool Start(std::string& error);
    // Ends every connection and waits for their threads.
    void Stop();

    int Port() const { return m_port; }
    SettingsState& Settings() { return m_settings; }

private:
    struct Client {
        uint64_t id;
        FileDescriptor fd;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void AcceptOne();
    void ReapFinished(bool all);

    Options m_options;
    SettingsState m_settings;
    LineLog m_requestLog;
    LineLog m_frameLog;
    FileFrames m_files;
    StopSignal m_stop;
    std::unique_ptr<ServerContext> m_context;

    FileDescriptor m_listener;
    bool m_listening = false;
    int m_port = -1;
    std::chrono::steady_clock::time_point m_started;
    std::thread m_acceptThread;

    std::mutex m_clientsMutex;
    std::list<Client> m_clients;
    uint64_t m_nextId = 1;
};

}  // namespace camsim
