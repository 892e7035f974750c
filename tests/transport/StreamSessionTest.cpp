#include <gtest/gtest.h>

#include "CollectingSink.h"
#include "LoopbackServer.h"
#include "tests/support/ByteFeed.h"
#include "tests/support/Wait.h"
#include "transport/StreamSession.h"

namespace {

using qern::test::FakeJpeg;

TEST(StreamSession, VideoRequestRecordingSignalAndCloseEndingABlockedFill) {
  // Frames under faults, stamps and credentials are camgrab-e2e's; here the request, the
  // recording's signal and a Close from another thread.
  const std::string frame = FakeJpeg(5000, 1);
  LoopbackServer server([&](SOCKET s, const std::string&, int) {
    LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=myboundary\r\n\r\n" +
                                qern::test::Part(frame, camsim::FrameStamp{1, 1600000000, 100}));
    server.Pause(10000);
  });
  StreamSession session;
  CollectingSink sink;
  ASSERT_TRUE(session.CreateRecFinishEvent());
  EXPECT_EQ(WaitForSingleObject(session.RecFinish(), 0), DWORD(WAIT_TIMEOUT));
  session.AttachRecordSink(&sink);
  session.recording = 1;
  ASSERT_TRUE(session.SetUrl(("http://127.0.0.1:" + std::to_string(server.Port())).c_str()));
  ASSERT_TRUE(session.SetPath("/video.cgi"));
  ASSERT_TRUE(session.OpenVideo());
  session.SetThreshold(50000);
  int32_t filled = 0;  // gets the part, then waits for more until closed
  const long afterClose =
      qern::test::MsFromStopToEnd([&] { filled = session.Fill(); }, [&] { session.CloseVideo(); }, 420);
  server.release = true;
  EXPECT_GT(filled, 5000);
  EXPECT_LT(afterClose, 200);
  ASSERT_GT(session.ParseHeader(nullptr, nullptr), 0);  // what came stays usable
  EXPECT_EQ(session.cameraMicros, 100);
  EXPECT_EQ(sink.frames, std::vector<std::string>{frame});
  EXPECT_EQ(WaitForSingleObject(session.RecFinish(), 0), WAIT_OBJECT_0);
  session.DetachRecordSink();
  EXPECT_EQ(session.Fill(), 0);  // closed: nothing more comes
  const auto r = server.Requests();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].substr(0, r[0].find("\r\n")), "GET /video.cgi HTTP/1.0");
  EXPECT_EQ(HeaderValue(r[0], "User-Agent"), "Mozilla/4.0 (compatible; )");
}

TEST(StreamSession, TextsNeverOverflow) {
  StreamSession session;
  EXPECT_TRUE(session.SetUrl(std::string(127, 'u').c_str()));
  EXPECT_FALSE(session.SetUrl(std::string(128, 'u').c_str()));
  EXPECT_EQ(session.Url(), "");
  EXPECT_TRUE(session.SetPath(std::string(255, 'p').c_str()));
  EXPECT_FALSE(session.SetPath(std::string(256, 'p').c_str()));
  EXPECT_TRUE(session.SetUser(std::string(31, 'n').c_str()));
  EXPECT_EQ(session.User().size(), 31u);
  EXPECT_FALSE(session.SetUser(std::string(32, 'n').c_str()));
  EXPECT_EQ(session.User(), "");
  EXPECT_FALSE(session.SetPassword(std::string(1000, 'w').c_str()));
  EXPECT_TRUE(session.SetPassword(nullptr));
  EXPECT_FALSE(session.OpenVideo());  // the refused URL is empty
}

TEST(StreamSession, AudioReadsUntilTheLengthOrSixteenEmptyReads) {
  const std::string audio = FakeJpeg(3000, 2);  // any bytes
  LoopbackServer server([&](SOCKET s, const std::string&, int) {
    LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
    for (size_t at = 0; at < audio.size(); at += 264, Sleep(2)) LoopbackServer::Send(s, audio.substr(at, 264));
  });
  StreamSession session;
  session.SetUrl(("http://127.0.0.1:" + std::to_string(server.Port())).c_str());
  ASSERT_TRUE(session.OpenAudio());
  std::string got(4000, '\0');
  auto* buffer = reinterpret_cast<uint8_t*>(&got[0]);
  EXPECT_EQ(session.ReadAudio(buffer, 1000), 1000);
  EXPECT_EQ(session.ReadAudio(buffer + 1000, 3000), 2000);  // the stream ended
  EXPECT_EQ(got.substr(0, 3000), audio);
  EXPECT_EQ(session.ReadAudio(buffer, 0), 0);
  session.CloseAudio();
  EXPECT_EQ(server.Requests().at(0).substr(0, 25), "GET /audio.cgi HTTP/1.0\r\n");
}

}  // namespace
