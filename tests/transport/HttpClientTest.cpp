#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "LoopbackServer.h"
#include "tests/support/ByteFeed.h"
#include "tests/support/Wait.h"
#include "transport/Base64.h"
#include "transport/HttpClient.h"

namespace qern {

namespace {

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

std::string RequestLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

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
    EXPECT_EQ(RequestLine(r), "GET /video.cgi?x=1 HTTP/1.0");
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

TEST(HttpClient, PostBodiesAreSizedFromWhatTheyHold) {
    LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, Ok("ok")); });
    HttpClient client;
    ASSERT_TRUE(client.Open(server.Url().c_str(), nullptr, nullptr, kAgent));
    const std::string big(20000, 'v'), filePath = "upload-test.bin", fileBytes = qern::test::FakeJpeg(5000, 7);
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
        EXPECT_EQ(RequestLine(r), "POST /post.cgi HTTP/1.0");
        EXPECT_EQ(HeaderValue(r, "Content-Type"), c.type);
        EXPECT_EQ(HeaderValue(r, "Referer"), c.referrer ? c.referrer : "");
        const std::string body = r.substr(r.find("\r\n\r\n") + 4);
        EXPECT_TRUE(body == c.body) << body.size() << " vs " << c.body.size();
    }
    std::remove(filePath.c_str());
}

TEST(HttpClient, FailuresWhatTheyLeaveAndASilentPeer) {
    HttpClient client;
    char buf[16];
    EXPECT_EQ(client.Read(buf, sizeof buf), 0u);                                     // connection failed...
    EXPECT_FALSE(client.Request("/x", HttpClient::RequestGet, nullptr));             // handle not opened...
    EXPECT_FALSE(client.Open("gopher://127.0.0.1/", nullptr, nullptr, kAgent));      // no such service
    EXPECT_FALSE(client.Open("HTTP://127.0.0.1/", nullptr, nullptr, kAgent));        // schemes are case-sensitive
    EXPECT_FALSE(client.Open("http://127.0.0.1:70000/", nullptr, nullptr, kAgent));  // no such port

    LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, Ok("again")); });
    ASSERT_TRUE(client.Open(server.Url().c_str(), nullptr, nullptr, kAgent));
    EXPECT_FALSE(client.Request("/x", 7, nullptr));  // unknown kind: the connection stays
    ASSERT_TRUE(client.Request("/x", HttpClient::RequestGet, nullptr));
    EXPECT_EQ(ReadAll(client), "again");
    client.Close();
    EXPECT_EQ(client.Read(buf, sizeof buf), 0u);
    EXPECT_FALSE(client.Request("/x", HttpClient::RequestGet, nullptr));

    client.Open("http://127.0.0.1:0/", nullptr, nullptr, kAgent);
    EXPECT_EQ(client.port, 80);  // the service default
    int freePort;
    {
        LoopbackServer probe([](SOCKET, const std::string&, int) {});
        freePort = probe.Port();
    }
    ASSERT_TRUE(client.Open(("http://127.0.0.1:" + std::to_string(freePort)).c_str(), nullptr, nullptr, kAgent));
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

}  // namespace

}  // namespace qern
