#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "LoopbackServer.h"
#include "tests/support/Wait.h"
#include "transport/Base64.h"
#include "transport/SocketClient.h"

namespace {

TEST(SocketClient, SendsTheRequestTextExactly) {
  LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\n\r\nok"); });
  SocketClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(client.SendRequest("/Rdimagectrl.cgi", "admin", "pw"));
  char reply[1024] = {};
  const int32_t n = client.Receive(reply, sizeof reply);
  ASSERT_TRUE(server.WaitForRequests(1));
  EXPECT_EQ(server.Requests()[0], "GET /Rdimagectrl.cgi HTTP/1.1\r\nAuthorization: Basic YWRtaW46cHc=\r\n\r\n");
  EXPECT_GT(n, 0);
  EXPECT_EQ(std::string(reply, size_t(n)).substr(0, 8), "HTTP/1.0");
  client.Close();
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.Receive(reply, sizeof reply), 0);
}

TEST(SocketClient, LongPathAndCredentialsFitWhole) {
  // Beyond the 300-byte request and the 72-byte credentials of old; high bytes as they are.
  const std::string path = "/setDVR.cgi?path=" + std::string(400, 'x');
  const std::string user = std::string(30, 'u') + "\xE9";
  const std::string password(80, '\xFF');
  LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, "OK"); });
  SocketClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(client.SendRequest(path.c_str(), user.c_str(), password.c_str()));
  char reply[200] = {};
  EXPECT_EQ(client.Receive(reply, sizeof reply), 2);
  ASSERT_TRUE(server.WaitForRequests(1));
  const std::string expected = "GET " + path + " HTTP/1.1\r\nAuthorization: Basic " +
                               MakeBasicCredentials(user.c_str(), password.c_str()) + "\r\n\r\n";
  EXPECT_EQ(server.Requests()[0], expected);
  EXPECT_EQ(expected.find('\n'), expected.find("\r\n") + 1);  // no bare line feed anywhere
}

TEST(SocketClient, RefusesWhatItCannotSend) {
  SocketClient client;
  EXPECT_FALSE(client.SendRequest("/x", "a", "b"));  // not connected
  EXPECT_FALSE(client.Connect("localhost", 80));     // no name lookup
  EXPECT_FALSE(client.Connect("127.0.0.1", 70000));
  LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, "OK"); });
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  EXPECT_FALSE(client.SendRequest("/x HTTP/1.1\r\nHost: y\r\n\r\nGET /z", "a", "b"));
  EXPECT_FALSE(client.SendRequest(nullptr, "a", "b"));
  char reply[8];
  EXPECT_EQ(client.Receive(reply, 0), 0);
  client.Close();
  client.Close();  // twice is harmless
}

TEST(SocketClient, ReconnectAfterRefusal) {
  int freePort;
  {
    LoopbackServer probe([](SOCKET, const std::string&, int) {});
    freePort = probe.Port();
  }
  SocketClient client;
  EXPECT_FALSE(client.Connect("127.0.0.1", freePort));
  LoopbackServer server([](SOCKET s, const std::string&, int) { LoopbackServer::Send(s, "fine"); });
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(client.SendRequest("/RdPTctrl.cgi", "", ""));
  char reply[200] = {};
  EXPECT_EQ(client.Receive(reply, sizeof reply), 4);
}

TEST(SocketClient, CloseFromAnotherThreadEndsAReceive) {
  LoopbackServer server([&](SOCKET, const std::string&, int) { server.Pause(10000); });
  SocketClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(client.SendRequest("/RdDVRctrl.cgi", "a", "b"));
  char reply[200];
  const long afterClose = qern::test::MsFromStopToEnd(
      [&] { EXPECT_EQ(client.Receive(reply, sizeof reply), 0); }, [&] { client.Close(); }, 300);
  server.release = true;
  EXPECT_LT(afterClose, 200);
}

}  // namespace
