#include "LoopbackServer.h"

#include <cstdlib>

namespace qern {

LoopbackServer::LoopbackServer(Handler h) : m_handler(std::move(h)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_listener = Listen(8, &m_port);
    m_thread = std::thread([this] { Run(); });
}

SOCKET LoopbackServer::Listen(int backlog, int* port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(s, backlog);
    int len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return s;
}

LoopbackServer::~LoopbackServer() {
    m_stopping = true;
    release = true;
    closesocket(m_listener);
    m_thread.join();
    WSACleanup();
}

void LoopbackServer::Run() {
    // One thread per connection, as a camera serves a retry while an earlier one still waits.
    std::vector<std::thread> connections;
    while (!m_stopping) {
        SOCKET client = accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) break;
        connections.emplace_back([this, client] {
            const std::string request = ReadRequest(client);
            if (!request.empty()) {
                int index;
                {
                    std::lock_guard<std::mutex> g(m_lock);
                    index = int(m_requests.size());
                    m_requests.push_back(request);
                }
                m_handler(client, request, index);
            }
            shutdown(client, SD_SEND);
            closesocket(client);
        });
    }
    for (auto& t : connections) t.join();
}

std::string LoopbackServer::ReadRequest(SOCKET s) {
    // The head, then as many body bytes as its Content-Length says.
    std::string data;
    char buf[4096];
    for (;;) {
        const size_t head = data.find("\r\n\r\n");
        if (head != std::string::npos &&
            data.size() >= head + 4 + size_t(std::atoi(HeaderValue(data, "Content-Length").c_str())))
            return data;
        const int n = recv(s, buf, sizeof buf, 0);
        if (n <= 0) return data;
        data.append(buf, size_t(n));
    }
}

std::vector<std::string> LoopbackServer::Requests() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_requests;
}

void LoopbackServer::Send(SOCKET s, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int n = send(s, bytes.data() + done, int(bytes.size() - done), 0);
        if (n <= 0) return;
        done += size_t(n);
    }
}

std::string HeaderValue(const std::string& request, const std::string& name, int* count) {
    const std::string head = request.substr(0, request.find("\r\n\r\n") + 2), key = "\r\n" + name + ": ";
    std::string value;
    int n = 0;
    for (size_t at = head.find(key); at != std::string::npos; at = head.find(key, at + 1), ++n) {
        const size_t start = at + key.size();
        if (n == 0) value = head.substr(start, head.find("\r\n", start) - start);
    }
    if (count) *count = n;
    return value;
}

}  // namespace qern
