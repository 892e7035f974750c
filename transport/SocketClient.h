// One blocking TCP connection to the camera's settings CGIs: a hand-built GET
// with Basic authorization per command, one receive per reply.
#pragma once

#include <atomic>
#include <cstdint>

#include "common/WinHandle.h"

namespace qern {

class SocketClient {
public:
    // A camera that does not take the connection, or takes it and stays silent, counts as down
    // after these (milliseconds): the caller is the user-interface thread.
    static constexpr uint32_t kConnectTimeoutMs = 3000;
    static constexpr uint32_t kReceiveTimeoutMs = 3000;

    SocketClient() = default;
    ~SocketClient();
    SocketClient(const SocketClient&) = delete;
    SocketClient& operator=(const SocketClient&) = delete;

    // address: dotted-decimal IPv4 (no name lookup). A connection still open is closed first.
    // Gives up after connectTimeoutMs; sends and receives give up after receiveTimeoutMs.
    bool Connect(const char* address, int32_t port);
    void SetTimeouts(uint32_t connectMs, uint32_t receiveMs) {
        m_connectTimeoutMs = connectMs;
        m_receiveTimeoutMs = receiveMs;
    }
    // May be called from another thread to end a Receive in progress.
    void Close();
    // "GET path HTTP/1.1", the Authorization header, an empty line; the whole
    // request is sent (partial sends are continued). A path with a CR or LF
    // is refused: it would split the request.
    bool SendRequest(const char* path, const char* user, const char* password);
    // One receive of at most size bytes; 0 on failure or when the camera closed.
    int32_t Receive(char* buffer, int32_t size);

    bool Connected() const { return static_cast<bool>(m_socket); }

private:
    bool ConnectWithin(const sockaddr_in& peer);

    SocketHandle m_socket;
    std::atomic<bool> m_winsockStarted{false};
    uint32_t m_connectTimeoutMs = kConnectTimeoutMs;
    uint32_t m_receiveTimeoutMs = kReceiveTimeoutMs;
};

}  // namespace qern
