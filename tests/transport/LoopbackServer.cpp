#include "LoopbackServer.h"
#include "tests/support/Wait.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

LoopbackServer::LoopbackServer(Handler h) : handler(std::move(h)) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(listener, 8);
  int len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  thread = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
  stopping = true;
  release = true;
  closesocket(listener);
  thread.join();
  WSACleanup();
}

void LoopbackServer::Run() {
  // One thread per connection, as a camera serves a retry while an earlier one still waits.
  std::vector<std::thread> connections;
  while (!stopping) {
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) break;
    connections.emplace_back([this, client] {
      const std::string request = ReadRequest(client);
      if (!request.empty()) {
        int index;
        {
          std::lock_guard<std::mutex> g(lock);
          index = int(requests.size());
          requests.push_back(request);
        }
        handler(client, request, index);
      }
      shutdown(client, SD_SEND);
      closesocket(client);
    });
  }
  for (auto& t : connections) t.join();
}

std::string LoopbackServer::ReadRequest(SOCKET s) {
  std::string data;
  char buf[4096];
  size_t headEnd = std::string::npos;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    const int n = recv(s, buf, sizeof buf, 0);
    if (n <= 0) return data;
    data.append(buf, size_t(n));
  }
  size_t bodyLength = 0;
  for (const auto& v : HeaderValues(data, "Content-Length")) bodyLength = size_t(std::atoi(v.c_str()));
  while (data.size() < headEnd + 4 + bodyLength) {
    const int n = recv(s, buf, sizeof buf, 0);
    if (n <= 0) break;
    data.append(buf, size_t(n));
  }
  return data;
}

std::vector<std::string> LoopbackServer::Requests() {
  std::lock_guard<std::mutex> g(lock);
  return requests;
}

bool LoopbackServer::WaitForRequests(size_t n, int timeoutMs) {
  return qern::test::WaitFor([&] { return Requests().size() >= n; }, timeoutMs);
}

void LoopbackServer::Send(SOCKET s, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const int n = send(s, bytes.data() + done, int(bytes.size() - done), 0);
    if (n <= 0) return;
    done += size_t(n);
  }
}

void LoopbackServer::Pause(int ms) { qern::test::WaitFor([&] { return bool(release); }, ms); }

std::string RequestHead(const std::string& request) {
  const size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? request : request.substr(0, end + 2);
}

std::string RequestBody(const std::string& request) {
  const size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : request.substr(end + 4);
}

std::vector<std::string> HeaderValues(const std::string& request, const std::string& name) {
  std::vector<std::string> values;
  const std::string head = RequestHead(request);
  size_t pos = head.find("\r\n");
  while (pos != std::string::npos && pos + 2 < head.size()) {
    const size_t start = pos + 2;
    const size_t end = head.find("\r\n", start);
    const std::string line = head.substr(start, end - start);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::string key = line.substr(0, colon);
      if (key.size() == name.size() &&
          std::equal(key.begin(), key.end(), name.begin(),
                     [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); })) {
        size_t v = colon + 1;
        while (v < line.size() && line[v] == ' ') ++v;
        values.push_back(line.substr(v));
      }
    }
    pos = end;
  }
  return values;
}
