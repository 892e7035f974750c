// The simulator's faults, which the camgrab, live view and sound suites rely on without seeing
// them: a fault that silently stopped happening would let those pass for nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>

#include "tools/camsim/AudioSource.h"
#include "tools/camsim/Server.h"

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<camsim::Server> Start(camsim::Options options) {
  options.port = 0;
  auto server = std::make_unique<camsim::Server>(options);
  std::string error;
  EXPECT_TRUE(server->Start(error)) << error;
  return server;
}

// GETs `target` as admin on a new connection and receives until `bytes` came or the server closed
// (`closed`); a receive gives up after 5 s.
std::string Exchange(int port, const std::string& target, size_t bytes = SIZE_MAX, bool* closed = nullptr) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const timeval limit{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(uint16_t(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::string request = "GET " + target + " HTTP/1.0\r\nAuthorization: Basic YWRtaW46YWRtaW4=\r\n\r\n";
  std::string got;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
    char chunk[4096];
    ssize_t n = 1;
    while (got.size() < bytes && (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0) got.append(chunk, size_t(n));
    if (closed) *closed = n == 0;
  }
  ::close(fd);
  return got;
}

TEST(CamsimServer, AudioCounterPacedWithSkippedFramesThenClosed) {
  camsim::Options options;
  options.audio.skipEvery = 25;  // frames 24 and 49 are left out
  options.audio.dropAfter = 50;
  auto server = Start(options);
  bool closed = false;
  const auto start = Clock::now();
  std::string got = Exchange(server->Port(), "/audio.cgi", SIZE_MAX, &closed);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_TRUE(closed);
  EXPECT_GT(seconds, 0.6);  // real time (0.77 s), not as fast as the socket goes
  ASSERT_EQ(got.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
  got.erase(0, got.find("\r\n\r\n") + 4);
  ASSERT_EQ(got.size(), 48 * camsim::kAudioFrameBytes);
  const auto* bytes = reinterpret_cast<const uint8_t*>(got.data());
  for (size_t f = 0; f < 48; ++f) {
    const uint8_t* frame = bytes + f * camsim::kAudioFrameBytes;
    const unsigned sequence = unsigned(f < 24 ? f : f + 1);
    ASSERT_EQ(frame[5], sequence);
    for (unsigned i = 0; i < 128; ++i) ASSERT_EQ(frame[8 + 2 * i] | (frame[9 + 2 * i] << 8), int(sequence * 128 + i)) << f;
  }
}

TEST(CamsimServer, GarbageTruncationAndWrongLengthsAsLogged) {
  camsim::Options options;
  options.size = camsim::VideoSize{176, 144};
  options.faults.garbageBytes = 100;
  options.faults.truncateEvery = 3;
  options.faults.wrongLengthEvery = 2;
  options.faults.wrongLengthBy = 77;
  options.faults.dropAfter = 4;
  options.frameLog = ::testing::TempDir() + "camsim_faults_frames.log";
  auto server = Start(options);
  bool closed = false;
  std::string all = Exchange(server->Port(), "/video.cgi", SIZE_MAX, &closed);
  ASSERT_TRUE(closed);
  server->Stop();
  all.erase(0, all.find("\r\n\r\n") + 4);  // the response head
  std::ifstream log(options.frameLog);
  size_t n = 0;
  for (std::string line; std::getline(log, line); ++n) {
    const size_t size = std::stoul(line.substr(line.find("size=") + 5));
    const size_t header = all.find("\r\n\r\n") + 4;
    const size_t next = all.find("--camsimframe\r\n", header);
    const size_t body = (next == std::string::npos ? all.size() : next) - header;
    const bool truncated = n == 2, wrong = n % 2 == 1;
    EXPECT_NE(all.substr(0, header).find("Content-Length: " + std::to_string(wrong ? size + 77 : size) + "\r\n"),
              std::string::npos) << n;
    EXPECT_EQ(body, (truncated ? size / 2 : size) + 2 + 100) << n;  // JPEG bytes, CR LF, then the noise
    EXPECT_EQ(line.find("truncated") != std::string::npos, truncated) << line;
    EXPECT_EQ(line.find("wrong-length") != std::string::npos, wrong) << line;
    all.erase(0, header + body);
  }
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(all, "");
}

TEST(CamsimServer, DripSlowsTheStreamDown) {
  camsim::Options options;
  options.faults.dripBytesPerSecond = 20000;
  auto server = Start(options);
  const auto start = Clock::now();
  EXPECT_GE(Exchange(server->Port(), "/video.cgi", 10000).size(), 10000u);
  EXPECT_GT(std::chrono::duration<double>(Clock::now() - start).count(), 0.35);  // 0.5 s at the rate
}

}  // namespace
