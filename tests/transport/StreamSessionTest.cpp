#include <gtest/gtest.h>

#include <cstdio>

#include "CollectingSink.h"
#include "LoopbackServer.h"
#include "tests/support/ByteFeed.h"
#include "tests/support/Wait.h"
#include "transport/StreamSession.h"

namespace qern {

namespace {

using qern::test::FakeJpeg;

std::string Chunk(const std::string& data) {
    char size[16];
    std::snprintf(size, sizeof size, "%x\r\n", unsigned(data.size()));
    return size + data + "\r\n";
}

TEST(StreamSession, RequestsAPausedChunkedStreamRecordingCloseEndingABlockedFillAndSound) {
    // Chunked as ffmpeg's server sends it, the second part 300 ms after the first.
    const std::string frame = FakeJpeg(5000, 1), audio = FakeJpeg(3000, 2);
    const std::string parts[] = {qern::test::Part(frame, camsim::FrameStamp{1, 1600000000, 100}),
                                 qern::test::Part(FakeJpeg(3000, 3))};
    LoopbackServer server([&](SOCKET s, const std::string& request, int) {
        if (request.compare(0, 14, "GET /audio.cgi") == 0) {
            LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
            for (size_t at = 0; at < audio.size(); at += 264, Sleep(2)) LoopbackServer::Send(s, audio.substr(at, 264));
            return;
        }
        LoopbackServer::Send(s,
                             "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=myboundary\r\n"
                             "Transfer-Encoding: chunked\r\n\r\n" +
                                 Chunk(parts[0]));
        server.Pause(300);
        LoopbackServer::Send(s, Chunk(parts[1]));
        server.Pause(10000);
    });
    StreamSession session;
    CollectingSink sink;
    ASSERT_TRUE(session.CreateRecFinishEvent());
    EXPECT_EQ(WaitForSingleObject(session.RecFinish(), 0), DWORD(WAIT_TIMEOUT));
    session.AttachRecordSink(&sink);
    session.recording = 1;
    ASSERT_TRUE(session.SetUrl(server.Url().c_str()));
    ASSERT_TRUE(session.SetPath("/video.cgi"));
    ASSERT_TRUE(session.OpenVideo());
    session.SetThreshold(50000);
    int32_t filled = 0;
    const long afterClose =
        qern::test::MsFromStopToEnd([&] { filled = session.Fill(); }, [&] { session.CloseVideo(); }, 700);
    server.release = true;
    std::printf("Fill of a chunked stream ended %ld ms after Close\n", afterClose);
    EXPECT_GE(afterClose, 0);  // the pause did not end it
    EXPECT_LT(afterClose, 200);
    EXPECT_EQ(filled, int32_t(parts[0].size() + parts[1].size()));  // no chunk framing, nothing lost
    ASSERT_GT(session.ParseHeader(nullptr, nullptr), 0);            // what came stays usable
    EXPECT_EQ(session.cameraMicros, 100);
    EXPECT_EQ(sink.frames, std::vector<std::string>{frame});
    EXPECT_EQ(WaitForSingleObject(session.RecFinish(), 0), WAIT_OBJECT_0);
    session.DetachRecordSink();
    EXPECT_EQ(session.Fill(), 0);  // closed: nothing more comes

    ASSERT_TRUE(session.OpenAudio());
    std::string got(4000, '\0');
    auto* buffer = reinterpret_cast<uint8_t*>(&got[0]);
    EXPECT_EQ(session.ReadAudio(buffer, 1000), 1000);
    EXPECT_EQ(session.ReadAudio(buffer + 1000, 3000), 2000);  // the stream ended after 16 empty reads
    EXPECT_EQ(got.substr(0, 3000), audio);
    EXPECT_EQ(session.ReadAudio(buffer, 0), 0);
    session.CloseAudio();
    const auto r = server.Requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].substr(0, r[0].find("\r\n")), "GET /video.cgi HTTP/1.0");
    EXPECT_EQ(HeaderValue(r[0], "User-Agent"), "Mozilla/4.0 (compatible; )");
    EXPECT_EQ(r[1].substr(0, 25), "GET /audio.cgi HTTP/1.0\r\n");
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

}  // namespace

}  // namespace qern
