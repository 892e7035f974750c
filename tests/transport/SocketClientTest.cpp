#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "tests/support/Wait.h"
#include "transport/Base64.h"
#include "transport/SocketClient.h"

namespace qern {

namespace {

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
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(server.Requests()[0], "GET " + path + " HTTP/1.1\r\nAuthorization: Basic " +
                                        MakeBasicCredentials(user.c_str(), password.c_str()) + "\r\n\r\n");
    ASSERT_GT(n, 0);
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

}  // namespace

}  // namespace qern
