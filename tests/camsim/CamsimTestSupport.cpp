#include "tests/camsim/CamsimTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace camsim_test {

using Clock = std::chrono::steady_clock;

std::optional<std::string> SettingValue(const std::string& reply, const std::string& key) {
  size_t at = reply.find(key);
  while (at != std::string::npos && (at + key.size() >= reply.size() || reply[at + key.size()] != ' '))
    at = reply.find(key, at + key.size());
  if (at == std::string::npos) return std::nullopt;
  size_t start = at + key.size();
  while (start < reply.size() && reply[start] == ' ') ++start;
  size_t stop = reply.find('.', start);
  if (stop == std::string::npos) return std::nullopt;
  return reply.substr(start, stop - start);
}

std::optional<std::string> HeaderValue(const std::string& head, const std::string& name) {
  const std::string key = "\r\n" + name + ": ";
  size_t at = head.find(key);
  if (at == std::string::npos) return std::nullopt;
  at += key.size();
  return head.substr(at, head.find("\r\n", at) - at);
}

camsim::Options TestOptions() {
  camsim::Options o;
  o.port = 0;
  return o;
}

std::string BasicHeader(const std::string& user, const std::string& password) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string in = user + ":" + password;
  std::string out;
  for (size_t i = 0; i < in.size(); i += 3) {
    uint32_t v = static_cast<uint8_t>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<uint8_t>(in[i + 1]) << 8;
    if (i + 2 < in.size()) v |= static_cast<uint8_t>(in[i + 2]);
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += i + 1 < in.size() ? alphabet[(v >> 6) & 63] : '=';
    out += i + 2 < in.size() ? alphabet[v & 63] : '=';
  }
  return "Basic " + out;
}

std::string RawGet(const std::string& target, const std::string& user, const std::string& password) {
  return "GET " + target + " HTTP/1.1\r\nAuthorization: " + BasicHeader(user, password) + "\r\n\r\n";
}

Client::Client(int port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    connectErrno_ = errno;
    ::close(fd_);
    fd_ = -1;
  }
}

Client::~Client() {
  if (fd_ >= 0) ::close(fd_);
}

bool Client::Send(const std::string& text) {
  return fd_ >= 0 && ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

std::string Client::ReceiveOnce(std::chrono::milliseconds timeout) {
  if (fd_ < 0) return {};
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return {};
  char chunk[4096];
  ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
  return n > 0 ? std::string(chunk, static_cast<size_t>(n)) : std::string();
}

bool Client::ReceiveMore(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return false;
  std::string got = ReceiveOnce(left);
  buffer_ += got;
  return !got.empty();
}

bool Client::Fill(size_t count, std::chrono::milliseconds timeout) {
  return FillWhileNot([count](const std::string& b) { return b.size() >= count; }, timeout);
}

bool Client::FillUntil(const std::string& marker, std::chrono::milliseconds timeout) {
  return FillWhileNot([&marker](const std::string& b) { return b.find(marker) != std::string::npos; }, timeout);
}

bool Client::ClosedWithin(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  char chunk[4096];
  while (Clock::now() < deadline) {
    pollfd p{fd_, POLLIN, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (::poll(&p, 1, static_cast<int>(std::max<long>(1, left.count()))) <= 0) continue;
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return true;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
  return false;
}

std::optional<std::string> PartReader::ReadHead(std::chrono::milliseconds timeout) {
  if (!client_.FillUntil("\r\n\r\n", timeout)) return std::nullopt;
  std::string& b = client_.Buffer();
  size_t end = b.find("\r\n\r\n") + 4;
  std::string head = b.substr(0, end);
  b.erase(0, end);
  return head;
}

std::optional<Part> PartReader::ReadPart(std::chrono::milliseconds timeout) {
  if (!client_.FillUntil("\r\n\r\n", timeout)) return std::nullopt;
  std::string& b = client_.Buffer();
  Part part;
  size_t end = b.find("\r\n\r\n") + 4;
  part.header = b.substr(0, end);
  b.erase(0, end);
  size_t at = part.header.find("Content-Length: ");
  if (at != std::string::npos) part.contentLength = std::strtoul(part.header.c_str() + at + 16, nullptr, 10);
  at = part.header.find("Content-Auth: ");
  if (at != std::string::npos) {
    size_t eol = part.header.find("\r\n", at);
    part.stamp = part.header.substr(at + 14, eol - at - 14);
  }
  if (!part.contentLength) return part;
  if (!client_.Fill(*part.contentLength, timeout)) return std::nullopt;
  part.jpeg.assign(b.begin(), b.begin() + static_cast<long>(*part.contentLength));
  b.erase(0, *part.contentLength);
  if (client_.Fill(2, timeout) && b.compare(0, 2, "\r\n") == 0) {
    part.endsWithCrLf = true;
    b.erase(0, 2);
  }
  return part;
}

}  // namespace camsim_test
