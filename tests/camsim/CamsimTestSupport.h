#pragma once
// Helpers for the camsim tests: a loopback client, a multipart reader and the key parser a
// settings client applies to replies.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/camsim/Options.h"
#include "tools/camsim/Server.h"

namespace camsim_test {

// The value of `key` in a settings reply: the first occurrence of the key followed by
// a space, then blanks, then the text up to the next full stop.
std::optional<std::string> SettingValue(const std::string& reply, const std::string& key);

// The value of a header line "Name: value" in an HTTP head (first match, exact name).
std::optional<std::string> HeaderValue(const std::string& head, const std::string& name);

// Options for a simulator on a free loopback port with its logs off.
camsim::Options TestOptions();

// "Basic " plus the Base64 form of user:password.
std::string BasicHeader(const std::string& user, const std::string& password);

class Client {
 public:
  explicit Client(int port);  // connects to 127.0.0.1:port; Connected() tells
  ~Client();
  Client(Client&& other) noexcept
      : fd_(std::exchange(other.fd_, -1)), connectErrno_(other.connectErrno_), buffer_(std::move(other.buffer_)) {}
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool Connected() const { return fd_ >= 0; }
  int ConnectErrno() const { return connectErrno_; }
  bool Send(const std::string& text);
  // One receive, waiting up to timeout; empty on time-out or close.
  std::string ReceiveOnce(std::chrono::milliseconds timeout);
  // Receives until `count` bytes are buffered; false on close or time-out.
  bool Fill(size_t count, std::chrono::milliseconds timeout);
  // Receives until `marker` is buffered; false on close or time-out.
  bool FillUntil(const std::string& marker, std::chrono::milliseconds timeout);
  // Receives until done() holds for the buffer; false on close or time-out.
  template <typename Done>
  bool FillWhileNot(Done done, std::chrono::milliseconds timeout);
  // True when the server closes the connection within the timeout.
  bool ClosedWithin(std::chrono::milliseconds timeout);

  std::string& Buffer() { return buffer_; }

 private:
  bool ReceiveMore(std::chrono::steady_clock::time_point deadline);

  int fd_ = -1;
  int connectErrno_ = 0;
  std::string buffer_;
};

template <typename Done>
bool Client::FillWhileNot(Done done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done(buffer_)) {
    if (!ReceiveMore(deadline)) return false;
  }
  return true;
}

// A GET with Basic authorization, as the settings channel writes it.
std::string RawGet(const std::string& target, const std::string& user = "admin", const std::string& password = "admin");

struct Part {
  std::string header;        // from the boundary line to the empty line, inclusive
  std::optional<size_t> contentLength;
  std::optional<std::string> stamp;
  std::vector<uint8_t> jpeg; // Content-Length bytes after the header
  bool endsWithCrLf = false; // the two bytes after the JPEG were CR LF (and were consumed)
};

// Reads the HTTP head of a video response, then parts, from a client.
class PartReader {
 public:
  explicit PartReader(Client& client) : client_(client) {}
  std::optional<std::string> ReadHead(std::chrono::milliseconds timeout);
  std::optional<Part> ReadPart(std::chrono::milliseconds timeout);

 private:
  Client& client_;
};

}  // namespace camsim_test
