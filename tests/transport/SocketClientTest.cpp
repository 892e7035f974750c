#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "LoopbackServer.h"
#include "tests/support/Wait.h"
#include "transport/Base64.h"
#include "transport/SocketClient.h"

namespace {

TEST(SocketClient, SendsTheRequestTextExactly) {
  // Beyond the 300-byte request and the 72-byte credentials of old; high bytes as they are.
  const std::string path = "/setDVR.cgi?path=" + std::string(400, 'x');
  const std::string user = std::string(30, 'u') + "\xE9";
  const std::string password(80, '\xFF');
  const struct {
    std::string path, user, password, request;
  } cases[] = {
      {"/Rdimagectrl.cgi", "admin", "pw", "GET /Rdimagectrl.cgi HTTP/1.1\r\nAuthorization: Basic YWRtaW46cHc=\r\n\r\n"},
      {path, user, password,
       "GET " + path + " HTTP/1.1\r\nAuthorization: Basic " + MakeBasicCredentials(user.c_str(), password.c_str()) +
           "\r\n\r\n"},
  };
  for (const auto& c : cases) {
    LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\n\r\nok"); });
    SocketClient client;
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
    ASSERT_TRUE(client.SendRequest(c.path.c_str(), c.user.c_str(), c.password.c_str()));
    char reply[1024] = {};
    const int32_t n = client.Receive(reply, sizeof reply);
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(server.Requests()[0], c.request);
    EXPECT_EQ(c.request.find('\n'), c.request.find("\r\n") + 1);  // no bare line feed anywhere
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(reply, size_t(n)).substr(0, 8), "HTTP/1.0");
    client.Close();
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.Receive(reply, sizeof reply), 0);
  }
}

TEST(SocketClient, RefusesWhatItCannotSendAndReconnects) {
  int freePort;
  {
    LoopbackServer probe([](SOCKET, const std::string&, int) {});
    freePort = probe.Port();
  }
  SocketClient client;
  EXPECT_FALSE(client.SendRequest("/x", "a", "b"));  // not connected
  EXPECT_FALSE(client.Connect("localhost", 80));     // no name lookup
  EXPECT_FALSE(client.Connect("127.0.0.1", 70000));
  EXPECT_FALSE(client.Connect("127.0.0.1", freePort));
  LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, "fine"); });
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  EXPECT_FALSE(client.SendRequest("/x HTTP/1.1\r\nHost: y\r\n\r\nGET /z", "a", "b"));
  EXPECT_FALSE(client.SendRequest(nullptr, "a", "b"));
  char reply[200] = {};
  EXPECT_EQ(client.Receive(reply, 0), 0);
  ASSERT_TRUE(client.SendRequest("/RdPTctrl.cgi", "", ""));
  EXPECT_EQ(client.Receive(reply, sizeof reply), 4);
  client.Close();
  client.Close();  // twice is harmless
}

TEST(SocketClient, SilentCameraTimesOutOrIsClosed) {
  LoopbackServer server([&](SOCKET, const std::string&, int) { server.Pause(10000); });
  char reply[200];
  // Given up at the receive limit...
  SocketClient timed;
  timed.SetTimeouts(SocketClient::kConnectTimeoutMs, 400);
  ASSERT_TRUE(timed.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(timed.SendRequest("/RdDVRctrl.cgi", "a", "b"));
  long tookMs = 0;
  EXPECT_TRUE(qern::test::EndsWithin([&] { EXPECT_EQ(timed.Receive(reply, sizeof reply), 0); }, 5000, &tookMs));
  EXPECT_GE(tookMs, 300);
  std::printf("Receive gave up after %ld ms (limit 400)\n", tookMs);
  // ...or at once when closed from another thread.
  SocketClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(client.SendRequest("/RdDVRctrl.cgi", "a", "b"));
  const long afterClose = qern::test::MsFromStopToEnd(
      [&] { EXPECT_EQ(client.Receive(reply, sizeof reply), 0); }, [&] { client.Close(); }, 300);
  server.release = true;
  EXPECT_LT(afterClose, 200);
}

}  // namespace
