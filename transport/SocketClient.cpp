#include "transport/SocketClient.h"

#include <cstring>
#include <string>

#include "transport/Base64.h"
#include "common/Trace.h"

namespace qern {

SocketClient::~SocketClient() { Close(); }

bool SocketClient::Connect(const char* address, int32_t port) {
    Close();
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    m_winsockStarted = true;
    m_socket.Reset(::socket(AF_INET, SOCK_STREAM, 0));
    if (!m_socket) return false;
    if (!address || port < 0 || port > 65535) return false;
    sockaddr_in peer;
    std::memset(&peer, 0, sizeof peer);
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(port));
    peer.sin_addr.s_addr = inet_addr(address);
    if (peer.sin_addr.s_addr == INADDR_NONE) return false;  // not a dotted address
    if (!ConnectWithin(peer)) return false;
    const DWORD wait = m_receiveTimeoutMs;
    setsockopt(m_socket.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
    setsockopt(m_socket.Get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
    return true;
}

// A non-blocking connect, waited for at most connectTimeoutMs, then back to blocking.
bool SocketClient::ConnectWithin(const sockaddr_in& peer) {
    u_long nonBlocking = 1;
    if (ioctlsocket(m_socket.Get(), FIONBIO, &nonBlocking) == SOCKET_ERROR) return false;
    if (connect(m_socket.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(m_socket.Get(), &writable);
        FD_SET(m_socket.Get(), &failed);
        timeval limit;
        limit.tv_sec = static_cast<long>(m_connectTimeoutMs / 1000);
        limit.tv_usec = static_cast<long>(m_connectTimeoutMs % 1000) * 1000;
        if (select(0, nullptr, &writable, &failed, &limit) != 1 || !FD_ISSET(m_socket.Get(), &writable)) {
            QernTrace("SocketClient::Connect..no connection within %u ms\n", m_connectTimeoutMs);
            return false;
        }
        int error = 0;
        int length = sizeof error;
        if (getsockopt(m_socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
                SOCKET_ERROR ||
            error != 0)
            return false;
    }
    u_long blocking = 0;
    return ioctlsocket(m_socket.Get(), FIONBIO, &blocking) != SOCKET_ERROR;
}

void SocketClient::Close() {
    m_socket.Close();
    if (m_winsockStarted.exchange(false)) WSACleanup();
}

bool SocketClient::SendRequest(const char* path, const char* user, const char* password) {
    if (!m_socket || !path || std::strpbrk(path, "\r\n") != nullptr) return false;
    // Sized from the real lengths: no path or credentials are too long.
    std::string text = "GET ";
    text += path;
    text += " HTTP/1.1\r\nAuthorization: Basic ";
    text += MakeBasicCredentials(user, password);
    text += "\r\n\r\n";
    size_t sent = 0;
    while (sent < text.size()) {
        const int n = send(m_socket.Get(), text.data() + sent, static_cast<int>(text.size() - sent), 0);
        if (n == SOCKET_ERROR || n == 0) {
            QernTrace("SocketClient::SendRequest..send failed %d\n", WSAGetLastError());
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

int32_t SocketClient::Receive(char* buffer, int32_t size) {
    if (!buffer || size < 1) return 0;
    const int n = recv(m_socket.Get(), buffer, size, 0);
    return n == SOCKET_ERROR ? 0 : n;
}

}  // namespace qern
