// A scripted HTTP peer on 127.0.0.1 inside the test process: it records each
// raw request (head and body) and answers through a handler.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Wait.h"

namespace qern {

class LoopbackServer {
public:
    // Called on the server thread once a request has been read; index counts requests from 0.
    using Handler = std::function<void(SOCKET client, const std::string& request, int index)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();

    int Port() const { return m_port; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::vector<std::string> Requests();
    // Set by the test to end a handler that stalls.
    std::atomic<bool> release{false};

    static void Send(SOCKET s, const std::string& bytes);
    // A listening socket on 127.0.0.1 at a free port (Winsock started by the caller).
    static SOCKET Listen(int backlog, int* port);
    void Pause(int ms) {
        qern::test::WaitFor([&] { return bool(release); }, ms);
    }

private:
    void Run();
    static std::string ReadRequest(SOCKET s);

    Handler m_handler;
    SOCKET m_listener = INVALID_SOCKET;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// The value of the first header line "name: value" (exact name) in a request's head, "" without
// one; `count` gets the number of such lines.
std::string HeaderValue(const std::string& request, const std::string& name, int* count = nullptr);

}  // namespace qern
