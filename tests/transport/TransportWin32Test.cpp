// WinINet and Winsock clients against scripted peers on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "CollectingSink.h"
#include "LoopbackServer.h"
#include "tests/support/ByteFeed.h"
#include "tests/support/Wait.h"
#include "transport/Base64.h"
#include "transport/HttpClient.h"
#include "transport/SocketClient.h"
#include "transport/StreamSession.h"

namespace qern {

namespace {

using qern::test::FakeJpeg;

const char kAgent[] = "Mozilla/4.0 (compatible; )";

std::string Ok(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

std::string ReadAll(HttpClient& client) {
    std::string out;
    char buf[1000];
    for (uint32_t n; (n = client.Read(buf, sizeof buf)) > 0;) out.append(buf, n);
    return out;
}

TEST(HttpClient, GetHeadersAndBasicCredentialsFromTheCallerOrTheUrlOnEveryRequest) {
    std::string expected;
    LoopbackServer server([&](SOCKET s, const std::string& request, int) {
        int count = 0;
        const bool granted = HeaderValue(request, "Authorization", &count) == expected && count == 1;
        LoopbackServer::Send(s, granted ? Ok("granted")
                                        : "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"cam\"\r\n"
                                          "Content-Length: 6\r\n\r\ndenied");
    });
    // 52 bytes of credentials: the length whose encoding used to end in a line feed.
    const std::string user(31, 'u'), password = "p@ss:word-long-one!";
    const struct {
        std::string url;
        const char *user, *password;
        std::string credentials;
    } cases[] = {
        {server.Url() + "/a/b", user.c_str(), password.c_str(), MakeBasicCredentials(user.c_str(), password.c_str())},
        {"http://admin:secret@" + server.Url().substr(7) + "/a/b", nullptr, nullptr,
         "YWRtaW46c2VjcmV0"},  // admin:secret
    };
    for (const auto& c : cases) {
        expected = "Basic " + c.credentials;
        HttpClient client;
        client.AddCookie("lost", "1");  // Connect empties the lists
        ASSERT_TRUE(client.Open(c.url.c_str(), c.user, c.password, kAgent));
        client.AddCookie("session", "abc123");
        for (const char* path : {"/video.cgi?x=1", "/Rdimagectrl.cgi"}) {
            ASSERT_TRUE(client.Request(path, HttpClient::RequestGet, nullptr));
            EXPECT_EQ(ReadAll(client), "granted") << c.url << path;
        }
        EXPECT_EQ(client.Read(nullptr, 0), 0u);  // end of body: nothing is closed
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);  // never a refused request first
    const std::string& r = requests[0];
    EXPECT_EQ(r.substr(0, r.find("\r\n")), "GET /video.cgi?x=1 HTTP/1.0");
    EXPECT_EQ(HeaderValue(r, "Accept"), "*/*");
    EXPECT_EQ(HeaderValue(r, "User-Agent"), kAgent);
    int hosts = 0, cookies = 0;
    HeaderValue(r, "Host", &hosts);
    const std::string cookie = HeaderValue(r, "Cookie", &cookies);
    EXPECT_EQ(hosts, 1);
    EXPECT_EQ(cookies, 1);
    EXPECT_NE(cookie.find("session=abc123"), std::string::npos);
    EXPECT_EQ(cookie.find("lost"), std::string::npos);
    // Given ones win over the URL's, even empty.
    HttpClient other;
    ASSERT_TRUE(other.Open(cases[1].url.c_str(), "", "", kAgent));
    EXPECT_EQ(other.user, "");
}

TEST(HttpClient, PostBodiesAreSizedFromWhatTheyHoldAndAClosedClientRefuses) {
    LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, Ok("ok")); });
    HttpClient client;
    ASSERT_TRUE(client.Open(server.Url().c_str(), nullptr, nullptr, kAgent));
    const std::string big(20000, 'v'), filePath = "upload-test.bin", fileBytes = FakeJpeg(5000, 7);
    std::ofstream(filePath, std::ios::binary) << fileBytes;
    const std::string d = "----MULTI-PARTS-FORM-DATA-BOUNDARY", form = "application/x-www-form-urlencoded",
                      multipart = "multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY";
    const struct {
        int32_t kind;
        std::vector<std::pair<std::string, std::string>> fields;
        const char* referrer;
        std::string type, body;
    } cases[] = {
        {HttpClient::RequestPost, {{"a", "1"}, {"b", "2"}}, "http://127.0.0.1/ref", form, "a=1&b=2"},
        {HttpClient::RequestPost, {}, nullptr, form, ""},
        {HttpClient::RequestPostMultipart, {}, nullptr, multipart, d + "--\r\n"},
        {HttpClient::RequestPostMultipart,
         {{"note", big}, {"@file", filePath}, {"@gone", "no-such-file.bin"}},
         nullptr,
         multipart,
         d + "\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\n" + big + "\r\n" + d +
             "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + filePath + "\"\r\n\r\n" + fileBytes +
             "\r\n" + d + "\r\nContent-Disposition: form-data; name=\"gone\"; filename=\"no-such-file.bin\"\r\n\r\n" +
             d + "--\r\n"},
    };
    for (const auto& c : cases) {
        client.formFields.clear();
        for (const auto& f : c.fields) {
            if (f.first[0] == '@')
                client.AddFileField(f.first.substr(1), f.second);
            else
                client.AddFormField(f.first, f.second);
        }
        ASSERT_TRUE(client.Request("/post.cgi", c.kind, c.referrer));
        EXPECT_EQ(ReadAll(client), "ok");
        const std::string r = server.Requests().back();
        EXPECT_EQ(r.substr(0, r.find("\r\n")), "POST /post.cgi HTTP/1.0");
        EXPECT_EQ(HeaderValue(r, "Content-Type"), c.type);
        EXPECT_EQ(HeaderValue(r, "Referer"), c.referrer ? c.referrer : "");
        const std::string body = r.substr(r.find("\r\n\r\n") + 4);
        EXPECT_TRUE(body == c.body) << body.size() << " vs " << c.body.size();
    }
    std::remove(filePath.c_str());
    EXPECT_FALSE(client.Request("/x", 7, nullptr));  // unknown kind: the connection stays
    ASSERT_TRUE(client.Request("/x", HttpClient::RequestGet, nullptr));
    EXPECT_EQ(ReadAll(client), "ok");
    client.Close();
    EXPECT_EQ(ReadAll(client), "");
    EXPECT_FALSE(client.Request("/x", HttpClient::RequestGet, nullptr));
}

TEST(HttpClient, FailuresAndASilentPeer) {
    HttpClient client;
    char buf[16];
    EXPECT_EQ(client.Read(buf, sizeof buf), 0u);                                     // connection failed...
    EXPECT_FALSE(client.Request("/x", HttpClient::RequestGet, nullptr));             // handle not opened...
    EXPECT_FALSE(client.Open("gopher://127.0.0.1/", nullptr, nullptr, kAgent));      // no such service
    EXPECT_FALSE(client.Open("http://127.0.0.1:70000/", nullptr, nullptr, kAgent));  // no such port

    client.Open("http://127.0.0.1:0/", nullptr, nullptr, kAgent);
    EXPECT_EQ(client.port, 80);                                                // the service default
    ASSERT_TRUE(client.Open("http://127.0.0.1:1", nullptr, nullptr, kAgent));  // nobody listens
    EXPECT_FALSE(client.Request("/video.cgi", HttpClient::RequestGet, nullptr));

    LoopbackServer mute([&](SOCKET, const std::string&, int) { mute.Pause(20000); });
    HttpClient limited;
    limited.SetAnswerTimeout(400);
    ASSERT_TRUE(limited.Open(mute.Url().c_str(), nullptr, nullptr, kAgent));
    long tookMs = 0;
    EXPECT_TRUE(qern::test::EndsWithin(
        [&] { EXPECT_FALSE(limited.Request("/video.cgi", HttpClient::RequestGet, nullptr)); }, 5000, &tookMs));
    EXPECT_GE(tookMs, 350);
    ASSERT_TRUE(client.Open(mute.Url().c_str(), nullptr, nullptr, kAgent));
    const long afterClose = qern::test::MsFromStopToEnd(
        [&] { EXPECT_FALSE(client.Request("/video.cgi", HttpClient::RequestGet, nullptr)); }, [&] { client.Close(); },
        300);
    EXPECT_LT(afterClose, 1200);  // not the 30 s limit
    mute.release = true;
}

TEST(SocketClient, SendsLongRequestsExactlyRefusesWhatItCannotSendAndCloseEndsAReceive) {
    LoopbackServer server([&](SOCKET s, const std::string&, int index) {
        if (index == 0)
            LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\n\r\nok");
        else
            server.Pause(10000);
    });
    SocketClient client;
    EXPECT_FALSE(client.SendRequest("/x", "a", "b"));          // not connected
    EXPECT_FALSE(client.Connect("localhost", server.Port()));  // no name lookup
    EXPECT_FALSE(client.Connect("127.0.0.1", 70000));
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
    EXPECT_FALSE(client.SendRequest("/x HTTP/1.1\r\nHost: y\r\n\r\nGET /z", "a", "b"));
    EXPECT_FALSE(client.SendRequest("/x\nGET /z", "a", "b"));
    EXPECT_FALSE(client.SendRequest(nullptr, "a", "b"));
    // Beyond the 300-byte request and the 72-byte credentials of old; high bytes as they are.
    const std::string path = "/setDVR.cgi?path=" + std::string(400, 'x'), user = std::string(30, 'u') + "\xE9",
                      password(80, '\xFF');
    ASSERT_TRUE(client.SendRequest(path.c_str(), user.c_str(), password.c_str()));
    char reply[1024] = {};
    EXPECT_EQ(client.Receive(reply, 0), 0);
    const int32_t n = client.Receive(reply, sizeof reply);
    ASSERT_GT(n, 0);  // the request was recorded before the reply
    EXPECT_EQ(server.Requests()[0], "GET " + path + " HTTP/1.1\r\nAuthorization: Basic " +
                                        MakeBasicCredentials(user.c_str(), password.c_str()) + "\r\n\r\n");
    EXPECT_EQ(std::string(reply, size_t(n)).substr(0, 8), "HTTP/1.0");
    client.Close();
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.Receive(reply, sizeof reply), 0);
    client.Close();  // twice is harmless

    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
    ASSERT_TRUE(client.SendRequest("/RdDVRctrl.cgi", "a", "b"));
    const long afterClose = qern::test::MsFromStopToEnd([&] { EXPECT_EQ(client.Receive(reply, sizeof reply), 0); },
                                                        [&] { client.Close(); }, 300);
    server.release = true;
    EXPECT_LT(afterClose, 200);
}

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
    EXPECT_EQ(HeaderValue(r[0], "User-Agent"), kAgent);
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
