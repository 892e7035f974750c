// One blocking TCP connection to the camera's settings CGIs: a hand-built GET
// with Basic authorization per command, one receive per reply.
#pragma once

#include <atomic>
#include <cstdint>

#include "common/WinHandle.h"

class SocketClient {
 public:
  SocketClient() = default;
  ~SocketClient();
  SocketClient(const SocketClient&) = delete;
  SocketClient& operator=(const SocketClient&) = delete;

  // address: dotted-decimal IPv4 (no name lookup). A connection still open is closed first.
  bool Connect(const char* address, int32_t port);
  // May be called from another thread to end a Receive in progress.
  void Close();
  // "GET path HTTP/1.1", the Authorization header, an empty line; the whole
  // request is sent (partial sends are continued). A path with a CR or LF
  // is refused: it would split the request.
  bool SendRequest(const char* path, const char* user, const char* password);
  // One receive of at most size bytes; 0 on failure or when the camera closed.
  int32_t Receive(char* buffer, int32_t size);

  bool Connected() const { return static_cast<bool>(socket); }

 private:
  SocketHandle socket;
  std::atomic<bool> winsockStarted{false};
};
