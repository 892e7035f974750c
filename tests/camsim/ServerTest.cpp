// The simulator over loopback sockets: authorization, the video part layout, the raw
// settings requests, audio, logs and the faults.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "tests/camsim/CamsimTestSupport.h"
#include "tools/camsim/Crc32.h"
#include "tools/camsim/JpegEncoder.h"
#include "tools/camsim/PartHeader.h"
#include "tools/camsim/SettingsCgi.h"
#include "tools/camsim/TestPicture.h"

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

TEST(CamsimServer, AnswersTheRetryWithCredentialsOnTheSameConnection) {
  auto server = Start(TestOptions());
  Client client(server->Port());
  ASSERT_TRUE(client.Send("GET /RdPTctrl.cgi HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(ReceiveReply(client).text.rfind("HTTP/1.1 401 ", 0), 0u);
  ASSERT_TRUE(client.Send(RawGet("/RdPTctrl.cgi")));
  const Reply reply = ReceiveReply(client);
  EXPECT_EQ(reply.text.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(reply.text.find("IR_set:0"), std::string::npos);
}

TEST(CamsimServer, OtherCredentialsAndUnknownPaths) {
  Options options = TestOptions();
  options.user = "camuser";
  options.password = "s3cret pass";
  auto server = Start(options);
  Client client(server->Port());
  ASSERT_TRUE(client.Send(RawGet("/RdPTctrl.cgi", "camuser", "s3cret pass")));
  EXPECT_EQ(ReceiveReply(client).text.rfind("HTTP/1.1 200 ", 0), 0u);
  ASSERT_TRUE(client.Send(RawGet("/RdPTctrl.cgi")));  // admin:admin is not it now
  EXPECT_EQ(ReceiveReply(client).text.rfind("HTTP/1.1 401 ", 0), 0u);
  ASSERT_TRUE(client.Send(RawGet("/nothing.cgi", "camuser", "s3cret pass")));
  EXPECT_EQ(ReceiveReply(client).text.rfind("HTTP/1.1 404 ", 0), 0u);
  ASSERT_TRUE(client.Send("POST /imagectrl.cgi HTTP/1.1\r\nAuthorization: " + BasicHeader("camuser", "s3cret pass") +
                          "\r\nContent-Length: 0\r\n\r\n"));
  EXPECT_EQ(ReceiveReply(client).text.rfind("HTTP/1.1 405 ", 0), 0u);
}

TEST(CamsimServer, VideoPartsHaveTheExactLayoutAndDecode) {
  auto server = Start(TestOptions());
  Client client = VideoClient(server->Port());
  PartReader reader(client);
  const std::optional<std::string> head = reader.ReadHead(kWait);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
  EXPECT_NE(head->find("\r\nContent-Type: multipart/x-mixed-replace; boundary=camsimframe\r\n"), std::string::npos);

  const std::regex layout(
      "--camsimframe\r\nContent-Type: image/jpeg\r\nContent-Length: ([0-9]+)\r\n"
      "Content-Auth: ([0-9A-F]{2})([0-9A-F]{8})([0-9A-F]{5})\r\n\r\n");
  const auto now = static_cast<unsigned long>(std::time(nullptr));
  for (int i = 0; i < 3; ++i) {
    std::optional<Part> part = reader.ReadPart(kWait);
    ASSERT_TRUE(part);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(part->header, m, layout)) << part->header;
    EXPECT_EQ(std::stoul(m[1]), part->jpeg.size());
    EXPECT_EQ(std::stoul(m[2], nullptr, 16), static_cast<unsigned long>(i));  // the frame index byte
    EXPECT_NEAR(static_cast<double>(std::stoul(m[3], nullptr, 16)), static_cast<double>(now), 5.0);
    EXPECT_LT(std::stoul(m[4], nullptr, 16), 1000000u);
    ASSERT_GE(part->jpeg.size(), 4u);
    EXPECT_EQ(part->jpeg[0], 0xFF);
    EXPECT_EQ(part->jpeg[1], 0xD8);
    EXPECT_EQ(part->jpeg[part->jpeg.size() - 2], 0xFF);
    EXPECT_EQ(part->jpeg[part->jpeg.size() - 1], 0xD9);
    std::optional<DecodedPicture> picture = DecodeJpeg(part->jpeg);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 640);
    EXPECT_EQ(picture->height, 480);
    EXPECT_TRUE(Near(picture->Average(40, 200, 80, 200), Rgb{255, 0, 0}, 12));
    EXPECT_TRUE(Near(picture->Average(520, 200, 80, 200), Rgb{128, 128, 128}, 12));
    EXPECT_TRUE(part->endsWithCrLf);  // before the next boundary
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

TEST(CamsimServer, RequestsSentInOnePieceAreAllAnswered) {
  auto server = Start(TestOptions());
  Client client(server->Port());
  ASSERT_TRUE(client.Send(RawGet("/imagectrl.cgi?Cont=9") + RawGet("/RdPTctrl.cgi") + RawGet("/Rdimagectrl.cgi")));
  ASSERT_TRUE(client.FillUntil("Vflp", kWait));
  const std::string& all = client.Buffer();
  size_t statusLines = 0;
  for (size_t at = all.find("HTTP/1.1 200 OK"); at != std::string::npos; at = all.find("HTTP/1.1 200 OK", at + 1))
    ++statusLines;
  EXPECT_EQ(statusLines, 3u);
  EXPECT_EQ(SettingValue(all.substr(all.rfind("HTTP/1.1")), "Cont"), "9");
}

TEST(CamsimServer, ResolutionSettingChangesTheFollowingFrames) {
  auto server = Start(TestOptions());
  Client video = VideoClient(server->Port());
  PartReader reader(video);
  ASSERT_TRUE(reader.ReadHead(kWait));
  std::optional<Part> first = reader.ReadPart(kWait);
  ASSERT_TRUE(first);
  EXPECT_EQ(DecodeJpeg(first->jpeg)->width, 640);

  Client settings(server->Port());
  ASSERT_TRUE(settings.Send(RawGet("/imagectrl.cgi?Resl=3")));
  ASSERT_TRUE(ReceiveReply(settings).complete);
  // Frames already on the way may still be large; a later one must be 176x144.
  bool switched = false;
  for (int i = 0; i < 20 && !switched; ++i) {
    std::optional<Part> part = reader.ReadPart(kWait);
    ASSERT_TRUE(part);
    std::optional<DecodedPicture> picture = DecodeJpeg(part->jpeg);
    ASSERT_TRUE(picture);
    switched = picture->width == 176 && picture->height == 144;
  }
  EXPECT_TRUE(switched);
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

TEST(CamsimServer, ServesSeveralClientsAtOnce) {
  auto server = Start(TestOptions());
  Client a = VideoClient(server->Port());
  Client b = VideoClient(server->Port());
  Client c(server->Port());
  ASSERT_TRUE(c.Send(RawGet("/audio.cgi")));
  PartReader ra(a), rb(b), rc(c);
  ASSERT_TRUE(ra.ReadHead(kWait));
  ASSERT_TRUE(rb.ReadHead(kWait));
  ASSERT_TRUE(rc.ReadHead(kWait));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(ra.ReadPart(kWait));
    ASSERT_TRUE(rb.ReadPart(kWait));
  }
  EXPECT_TRUE(c.Fill(kAudioFrameBytes * 3, kWait));
}

TEST(CamsimServer, StreamsTheFilesOfAFolderInNameOrder) {
  const std::filesystem::path folder = TempPath("frames");
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::vector<std::vector<uint8_t>> files;
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> rgb;
    const TestPicture picture(VideoSize{176, 144});
    picture.Render(static_cast<uint64_t>(i) * 7, PictureControls{}, rgb);
    files.push_back(JpegEncoder(JpegSettings{}).Encode(rgb.data(), 176, 144));
  }
  // Written out of order, with a file that is not a JPEG among them.
  for (int i : {2, 0, 1}) {
    std::ofstream out(folder / ("f" + std::to_string(i) + (i == 1 ? ".JPG" : ".jpg")), std::ios::binary);
    out.write(reinterpret_cast<const char*>(files[static_cast<size_t>(i)].data()),
              static_cast<std::streamsize>(files[static_cast<size_t>(i)].size()));
  }
  std::ofstream(folder / "notes.txt") << "not a frame";

  Options options = TestOptions();
  options.framesDir = folder.string();
  auto server = Start(options);
  Client client = VideoClient(server->Port());
  PartReader reader(client);
  ASSERT_TRUE(reader.ReadHead(kWait));
  for (size_t n = 0; n < 5; ++n) {
    std::optional<Part> part = reader.ReadPart(kWait);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->jpeg, files[n % 3]) << "frame " << n;
  }
}

TEST(CamsimServer, FolderWithoutJpegFilesDoesNotStart) {
  const std::filesystem::path folder = TempPath("empty");
  std::filesystem::create_directories(folder);
  Options options = TestOptions();
  options.framesDir = folder.string();
  Server server(options);
  std::string error;
  EXPECT_FALSE(server.Start(error));
  EXPECT_NE(error.find("no .jpg"), std::string::npos) << error;
  options.framesDir = folder.string() + "/missing";
  Server missing(options);
  EXPECT_FALSE(missing.Start(error));
}

TEST(CamsimFaultServer, DropAfterClosesTheConnection) {
  Options options = TestOptions();
  options.faults.dropAfter = 3;
  auto server = Start(options);
  Client client = VideoClient(server->Port());
  ASSERT_TRUE(client.ClosedWithin(kWait));
  const std::string& all = client.Buffer();
  size_t parts = 0;
  for (size_t at = all.find("--camsimframe\r\n"); at != std::string::npos; at = all.find("--camsimframe\r\n", at + 1))
    ++parts;
  EXPECT_EQ(parts, 3u);
}

TEST(CamsimFaultServer, StallAfterKeepsTheConnectionOpenAndSilent) {
  Options options = TestOptions();
  options.faults.stallAfter = 2;
  options.fps = 50;
  auto server = Start(options);
  Client client = VideoClient(server->Port());
  PartReader reader(client);
  ASSERT_TRUE(reader.ReadHead(kWait));
  ASSERT_TRUE(reader.ReadPart(kWait));
  ASSERT_TRUE(reader.ReadPart(kWait));
  EXPECT_FALSE(client.ClosedWithin(600ms));
  EXPECT_EQ(client.Buffer(), "");  // nothing after the second part
}

TEST(CamsimFaultServer, NoAnswerAcceptsButNeverReplies) {
  Options options = TestOptions();
  options.faults.noAnswer = true;
  auto server = Start(options);
  Client client(server->Port());
  ASSERT_TRUE(client.Connected());
  ASSERT_TRUE(client.Send(RawGet("/RdPTctrl.cgi")));
  EXPECT_TRUE(client.ReceiveOnce(500ms).empty());
  EXPECT_FALSE(client.ClosedWithin(200ms));
  server->Stop();  // must not hang on the silent connection
}

TEST(CamsimFaultServer, RefusesConnectionsForAWhile) {
  Options options = TestOptions();
  options.faults.refuseFor = 0.8;
  auto server = Start(options);
  const auto start = Clock::now();
  {
    Client refused(server->Port());
    EXPECT_FALSE(refused.Connected());
    EXPECT_EQ(refused.ConnectErrno(), ECONNREFUSED);
  }
  std::this_thread::sleep_until(start + 1200ms);
  Client accepted(server->Port());
  ASSERT_TRUE(accepted.Connected());
  ASSERT_TRUE(accepted.Send(RawGet("/RdPTctrl.cgi")));
  EXPECT_NE(accepted.ReceiveOnce(kWait).find("IR_set:"), std::string::npos);
}

TEST(CamsimFaultServer, RefusalCanStartLater) {
  Options options = TestOptions();
  options.faults.refuseFrom = 0.3;
  options.faults.refuseFor = 30;
  auto server = Start(options);
  {
    Client early(server->Port());
    EXPECT_TRUE(early.Connected());
  }
  std::this_thread::sleep_for(700ms);
  Client late(server->Port());
  EXPECT_FALSE(late.Connected());
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

TEST(CamsimFaultServer, SizeCycleChangesTheFrameSize) {
  Options options = TestOptions();
  options.faults.sizeCycle = 2;
  options.fps = 50;
  auto server = Start(options);
  Client client = VideoClient(server->Port());
  PartReader reader(client);
  ASSERT_TRUE(reader.ReadHead(kWait));
  std::vector<int> widths;
  for (int i = 0; i < 6; ++i) {
    std::optional<Part> part = reader.ReadPart(kWait);
    ASSERT_TRUE(part);
    widths.push_back(DecodeJpeg(part->jpeg)->width);
  }
  EXPECT_EQ(widths, (std::vector<int>{640, 640, 320, 320, 176, 176}));
}
