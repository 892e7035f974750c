#include "transport/SocketClient.h"

#include <cstring>
#include <string>

#include "transport/Base64.h"
#include "common/Trace.h"

SocketClient::~SocketClient() { Close(); }

bool SocketClient::Connect(const char* address, int32_t port) {
  Close();
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  winsockStarted = true;
  socket.Reset(::socket(AF_INET, SOCK_STREAM, 0));
  if (!socket) return false;
  if (!address || port < 0 || port > 65535) return false;
  sockaddr_in peer;
  std::memset(&peer, 0, sizeof peer);
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<u_short>(port));
  peer.sin_addr.s_addr = inet_addr(address);
  if (peer.sin_addr.s_addr == INADDR_NONE) return false;  // not a dotted address
  return connect(socket.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != SOCKET_ERROR;
}

void SocketClient::Close() {
  socket.Close();
  if (winsockStarted.exchange(false)) WSACleanup();
}

bool SocketClient::SendRequest(const char* path, const char* user, const char* password) {
  if (!socket || !path || std::strpbrk(path, "\r\n") != nullptr) return false;
  // Sized from the real lengths: no path or credentials are too long.
  std::string text = "GET ";
  text += path;
  text += " HTTP/1.1\r\nAuthorization: Basic ";
  text += MakeBasicCredentials(user, password);
  text += "\r\n\r\n";
  size_t sent = 0;
  while (sent < text.size()) {
    const int n = send(socket.Get(), text.data() + sent, static_cast<int>(text.size() - sent), 0);
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
  const int n = recv(socket.Get(), buffer, size, 0);
  return n == SOCKET_ERROR ? 0 : n;
}
