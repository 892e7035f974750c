// The simulator's behaviours that the other suites rely on without seeing them fail: the
// refusal, the exact stamps, the settings channel, the audio frames, the logs and the faults
// whose absence would let a client's test pass for nothing.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/camsim/CamsimTestSupport.h"
#include "tools/camsim/Crc32.h"
#include "tools/camsim/PartHeader.h"
#include "tools/camsim/SettingsCgi.h"

using namespace camsim;
using namespace camsim_test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kWait = 5000ms;

std::unique_ptr<Server> Start(const Options& options) {
  auto server = std::make_unique<Server>(options);
  std::string error;
  EXPECT_TRUE(server->Start(error)) << error;
  EXPECT_GT(server->Port(), 0);
  return server;
}

std::string TempPath(const std::string& name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "camsim_" + info->name() + "_" + name;
}

std::vector<std::string> ReadLines(const std::string& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Status line, headers and body of one reply that must have come in a single receive.
struct Reply {
  std::string text;
  bool complete = false;  // the body's Content-Length bytes were all there
};

Reply ReceiveReply(Client& client) {
  Reply reply;
  reply.text = client.ReceiveOnce(kWait);
  const size_t end = reply.text.find("\r\n\r\n");
  const std::optional<std::string> length = HeaderValue(reply.text.substr(0, end), "Content-Length");
  reply.complete = end != std::string::npos && length &&
                   reply.text.size() == end + 4 + static_cast<size_t>(std::stoul(*length));
  return reply;
}

Client VideoClient(int port, const std::string& target = "/video.cgi") {
  Client client(port);
  EXPECT_TRUE(client.Send("GET " + target + " HTTP/1.0\r\nAuthorization: " + BasicHeader("admin", "admin") +
                          "\r\n\r\n"));
  return client;
}

}  // namespace

TEST(CamsimServer, RefusesRequestsWithoutOrWithWrongCredentials) {
  auto server = Start(TestOptions());
  for (const std::string& request :
       {std::string("GET /video.cgi HTTP/1.1\r\n\r\n"), RawGet("/video.cgi", "admin", "nimda"),
        RawGet("/Rdimagectrl.cgi", "root", "admin"), std::string("GET /audio.cgi HTTP/1.0\r\nAuthorization: Basic !!\r\n\r\n")}) {
    Client client(server->Port());
    ASSERT_TRUE(client.Send(request));
    const Reply reply = ReceiveReply(client);
    EXPECT_EQ(reply.text.rfind("HTTP/1.1 401 ", 0), 0u) << request;
    EXPECT_NE(reply.text.find("\r\nWWW-Authenticate: Basic realm=\"camsim\"\r\n"), std::string::npos);
    EXPECT_TRUE(reply.complete) << reply.text;
    EXPECT_EQ(reply.text.find("--camsimframe"), std::string::npos);
  }
}

TEST(CamsimServer, ExactStampsAndNoStamp) {
  Options options = TestOptions();
  options.exactStamps = true;
  options.startTime = 1700000000;
  options.fps = 50;
  auto server = Start(options);
  Client client = VideoClient(server->Port());
  PartReader reader(client);
  ASSERT_TRUE(reader.ReadHead(kWait));
  for (uint64_t n = 0; n < 4; ++n) {
    std::optional<Part> part = reader.ReadPart(kWait);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->stamp, FormatStamp(ExactStamp(1700000000, n, 50)));
  }
  EXPECT_EQ(FormatStamp(ExactStamp(1700000000, 3, 50)), "036553F1000EA60");

  Options bare = TestOptions();
  bare.noStamp = true;
  auto plain = Start(bare);
  Client other = VideoClient(plain->Port());
  PartReader otherReader(other);
  ASSERT_TRUE(otherReader.ReadHead(kWait));
  std::optional<Part> part = otherReader.ReadPart(kWait);
  ASSERT_TRUE(part);
  EXPECT_EQ(part->header.find("Content-Auth"), std::string::npos);
  EXPECT_EQ(part->header, "--camsimframe\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                              std::to_string(part->jpeg.size()) + "\r\n\r\n");
}

TEST(CamsimServer, SettingsBatchOnOneConnectionEachReplyInOneReceive) {
  auto server = Start(TestOptions());
  Client client(server->Port());
  const char* batch[] = {"/DVRctrl.cgi?PathD=c:\\Cam Records\\today\\", "/DVRctrl.cgi?TimeD=15",
                         "/imagectrl.cgi?Brne=6", "/imagectrl.cgi?Nhue=20", "/RdDVRctrl.cgi", "/Rdimagectrl.cgi",
                         "/RdPTctrl.cgi"};
  std::vector<std::string> replies;
  for (const char* target : batch) {
    ASSERT_TRUE(client.Send(RawGet(target)));
    const Reply reply = ReceiveReply(client);
    EXPECT_TRUE(reply.complete) << target << ": " << reply.text;
    EXPECT_EQ(reply.text.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << target;
    EXPECT_LE(reply.text.size(), std::string(target) == "/Rdimagectrl.cgi" ? kMaxImageSettingsReply : kMaxSettingsReply);
    replies.push_back(reply.text);
  }
  EXPECT_EQ(SettingValue(replies[4], "DvrPath :"), "c:\\Cam Records\\today\\");
  EXPECT_EQ(SettingValue(replies[4], "DvrTime :"), "15");
  EXPECT_EQ(SettingValue(replies[5], "Brne"), "6");
  EXPECT_EQ(SettingValue(replies[5], "Nhum"), "20");
  EXPECT_EQ(SettingValue(replies[5], "Cont"), "6");  // not taken from Content-Type/Length
  EXPECT_NE(replies[6].find("IR_set:0"), std::string::npos);
}

TEST(CamsimServer, AudioFramesAreWellFormedConsecutiveAndPaced) {
  auto server = Start(TestOptions());
  Client client(server->Port());
  ASSERT_TRUE(client.Send(RawGet("/audio.cgi")));
  PartReader reader(client);
  const std::optional<std::string> head = reader.ReadHead(kWait);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
  const auto start = Clock::now();
  constexpr size_t kFrames = 50;  // 0.8 s of sound
  ASSERT_TRUE(client.Fill(kFrames * kAudioFrameBytes, 10000ms));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GT(seconds, 0.6);  // real time, not as fast as the socket goes
  const auto* bytes = reinterpret_cast<const uint8_t*>(client.Buffer().data());
  uint16_t expectedSample = 0;
  for (size_t f = 0; f < kFrames; ++f) {
    const uint8_t* frame = bytes + f * kAudioFrameBytes;
    ASSERT_EQ(frame[0], 0x1A);
    ASSERT_EQ(frame[1], 0x2B);
    ASSERT_EQ(frame[2], 0x3C);
    ASSERT_EQ(frame[3], 0x4D);
    EXPECT_EQ(frame[5], f % 256);
    ASSERT_EQ((frame[6] << 8) | frame[7], 256);
    for (size_t i = 0; i < 128; ++i) {
      const uint16_t sample = static_cast<uint16_t>(frame[8 + 2 * i] | (frame[9 + 2 * i] << 8));
      ASSERT_EQ(sample, expectedSample) << "frame " << f;
      ++expectedSample;
    }
  }
}

TEST(CamsimServer, AudioSkipLeavesASequenceGap) {
  Options options = TestOptions();
  options.audio.skipEvery = 4;
  auto server = Start(options);
  Client client(server->Port());
  ASSERT_TRUE(client.Send(RawGet("/audio.cgi")));
  PartReader reader(client);
  ASSERT_TRUE(reader.ReadHead(kWait));
  ASSERT_TRUE(client.Fill(6 * kAudioFrameBytes, kWait));
  std::vector<int> sequence;
  for (size_t f = 0; f < 6; ++f) sequence.push_back(static_cast<uint8_t>(client.Buffer()[f * kAudioFrameBytes + 5]));
  EXPECT_EQ(sequence, (std::vector<int>{0, 1, 2, 4, 5, 6}));
}

TEST(CamsimServer, AudioDropAfterClosesAndNoAudioIsNotFound) {
  Options options = TestOptions();
  options.audio.dropAfter = 3;
  auto server = Start(options);
  Client client(server->Port());
  ASSERT_TRUE(client.Send(RawGet("/audio.cgi")));
  PartReader reader(client);
  ASSERT_TRUE(reader.ReadHead(kWait));
  EXPECT_TRUE(client.ClosedWithin(kWait));
  EXPECT_EQ(client.Buffer().size(), 3 * kAudioFrameBytes);

  options.audio.absent = true;
  auto silent = Start(options);
  Client none(silent->Port());
  ASSERT_TRUE(none.Send(RawGet("/audio.cgi")));
  EXPECT_EQ(none.ReceiveOnce(kWait).rfind("HTTP/1.1 404", 0), 0u);
}

TEST(CamsimServer, LogsRecordRequestsAndFramesSent) {
  Options options = TestOptions();
  options.requestLog = TempPath("requests.log");
  options.frameLog = TempPath("frames.log");
  auto server = Start(options);
  {
    Client denied(server->Port());
    ASSERT_TRUE(denied.Send("GET /video.cgi HTTP/1.1\r\n\r\n"));
    ASSERT_FALSE(denied.ReceiveOnce(kWait).empty());
  }
  std::vector<std::vector<uint8_t>> received;
  {
    Client video = VideoClient(server->Port(), "/video.cgi?resolution=vga");
    PartReader reader(video);
    ASSERT_TRUE(reader.ReadHead(kWait));
    for (int i = 0; i < 3; ++i) {
      std::optional<Part> part = reader.ReadPart(kWait);
      ASSERT_TRUE(part);
      received.push_back(part->jpeg);
    }
  }
  {
    Client settings(server->Port());
    ASSERT_TRUE(settings.Send(RawGet("/DVRctrl.cgi?PathD=d:\\a b\\")));
    ASSERT_FALSE(settings.ReceiveOnce(kWait).empty());
  }
  server->Stop();

  const std::vector<std::string> requests = ReadLines(options.requestLog);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], "conn=1 auth=no GET /video.cgi");
  EXPECT_EQ(requests[1], "conn=2 auth=yes GET /video.cgi?resolution=vga");
  EXPECT_EQ(requests[2], "conn=3 auth=yes GET /DVRctrl.cgi?PathD=d:\\a b\\");

  const std::vector<std::string> frames = ReadLines(options.frameLog);
  ASSERT_GE(frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", Crc32(received[i].data(), received[i].size()));
    EXPECT_EQ(frames[i], "conn=2 frame=" + std::to_string(i) + " size=" + std::to_string(received[i].size()) +
                             " crc32=" + crc);
  }
}

TEST(CamsimFaultServer, GarbageTruncationAndWrongLengths) {
  Options options = TestOptions();
  options.size = VideoSize{176, 144};
  options.faults.garbageBytes = 100;
  options.faults.truncateEvery = 3;
  options.faults.wrongLengthEvery = 2;
  options.faults.wrongLengthBy = 77;
  options.faults.dropAfter = 4;
  options.frameLog = TempPath("frames.log");
  auto server = Start(options);
  Client client = VideoClient(server->Port());
  ASSERT_TRUE(client.ClosedWithin(kWait));
  server->Stop();

  std::string all = client.Buffer();
  all.erase(0, all.find("\r\n\r\n") + 4);  // the response head
  const std::vector<std::string> log = ReadLines(options.frameLog);
  ASSERT_EQ(log.size(), 4u);
  for (size_t n = 0; n < 4; ++n) {
    const size_t size = std::stoul(log[n].substr(log[n].find("size=") + 5));
    const size_t header = all.find("\r\n\r\n") + 4;
    const std::string head = "\r\n" + all.substr(0, header);
    const size_t next = all.find("--camsimframe\r\n", header);
    const size_t body = (next == std::string::npos ? all.size() : next) - header;
    const bool truncated = n == 2, wrong = n % 2 == 1;
    EXPECT_EQ(HeaderValue(head, "Content-Length"), std::to_string(wrong ? size + 77 : size)) << n;
    // JPEG bytes, CR LF, then 100 bytes of noise.
    EXPECT_EQ(body, (truncated ? size / 2 : size) + 2 + 100) << n;
    EXPECT_EQ(log[n].find("truncated") != std::string::npos, truncated) << log[n];
    EXPECT_EQ(log[n].find("wrong-length") != std::string::npos, wrong) << log[n];
    all.erase(0, header + body);
  }
}

TEST(CamsimFaultServer, DripSlowsTheStreamDown) {
  Options options = TestOptions();
  options.faults.dripBytesPerSecond = 20000;
  auto server = Start(options);
  Client client = VideoClient(server->Port());
  const auto start = Clock::now();
  ASSERT_TRUE(client.Fill(10000, kWait));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GT(seconds, 0.35);  // 0.5 s at the rate; unlimited it takes milliseconds
}

