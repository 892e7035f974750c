// The simulator's faults, which the camgrab and live view suites rely on without seeing them: a
// fault that silently stopped happening would let those pass for nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "tools/camsim/AudioSource.h"
#include "tools/camsim/Server.h"
#include "tools/camsim/Socket.h"

namespace qern {

namespace {

using Clock = std::chrono::steady_clock;

// GETs `target` as admin and receives until the server closes (`closed`) or a receive waited 5 s.
std::string Exchange(int port, const std::string& target, bool* closed = nullptr) {
    const camsim::FileDescriptor fd(::socket(AF_INET, SOCK_STREAM, 0));
    const timeval limit{5, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string got;
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        !camsim::SendAll(fd.Get(), "GET " + target + " HTTP/1.0\r\nAuthorization: Basic YWRtaW46YWRtaW4=\r\n\r\n"))
        return got;
    char chunk[4096];
    ssize_t n;
    while ((n = ::recv(fd.Get(), chunk, sizeof chunk, 0)) > 0) got.append(chunk, size_t(n));
    if (closed) *closed = n == 0;
    return got;
}

TEST(CamsimServer, VideoGarbageTruncationWrongLengthsAndDripAsLoggedAndAudioSkips) {
    camsim::Options options;
    options.audio.skipEvery = 4;  // frames 3 and 7 are left out
    options.audio.dropAfter = 8;
    options.size = camsim::VideoSize{176, 144};
    options.faults.garbageBytes = 100;
    options.faults.truncateEvery = 3;
    options.faults.wrongLengthEvery = 2;
    options.faults.wrongLengthBy = 77;
    options.faults.dropAfter = 4;
    options.faults.dripBytesPerSecond = 20000;
    options.frameLog = ::testing::TempDir() + "camsim_faults_frames.log";
    options.port = 0;
    camsim::Server server(options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    bool closed = false;
    const auto start = Clock::now();
    std::string all = Exchange(server.Port(), "/video.cgi", &closed);
    ASSERT_TRUE(closed);
    EXPECT_GT(std::chrono::duration<double>(Clock::now() - start).count(), 0.7 * all.size() / 20000);  // trickled
    std::string audio = Exchange(server.Port(), "/audio.cgi");
    server.Stop();
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
                  std::string::npos)
            << n;
        EXPECT_EQ(body, (truncated ? size / 2 : size) + 2 + 100) << n;  // JPEG bytes, CR LF, then the noise
        EXPECT_EQ(line.find("truncated") != std::string::npos, truncated) << line;
        EXPECT_EQ(line.find("wrong-length") != std::string::npos, wrong) << line;
        all.erase(0, header + body);
    }
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(all, "");

    audio.erase(0, audio.find("\r\n\r\n") + 4);
    ASSERT_EQ(audio.size(), 6 * camsim::kAudioFrameBytes);
    for (size_t f = 0; f < 6; ++f) {
        const auto* frame = reinterpret_cast<const uint8_t*>(audio.data()) + f * camsim::kAudioFrameBytes;
        const unsigned sequence = unsigned(f < 3 ? f : f + 1);
        EXPECT_EQ(frame[5], sequence);
        EXPECT_EQ(frame[8] | (frame[9] << 8), int(sequence * 128)) << f;  // its first sample
    }
}

}  // namespace

}  // namespace qern
