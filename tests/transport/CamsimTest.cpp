#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "transport/SocketClient.h"
#include "transport/StreamSession.h"

namespace {

int CamsimPort() {
  const char* port = std::getenv("QERN_CAMSIM_PORT");
  return port ? std::atoi(port) : 0;
}

std::string RequestLog() {
  const char* path = std::getenv("QERN_CAMSIM_LOG_WIN");
  if (!path) return std::string();
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Camsim : public ::testing::Test {
 protected:
  void SetUp() override {
    port = CamsimPort();
    ASSERT_GT(port, 0) << "QERN_CAMSIM_PORT is not set: run under tools/test/with-camsim";
  }
  int port = 0;
};

TEST_F(Camsim, VideoFramesThroughTheSession) {
  StreamSession session;
  ASSERT_TRUE(session.SetUrl(("http://127.0.0.1:" + std::to_string(port)).c_str()));
  ASSERT_TRUE(session.SetPath("/video.cgi"));
  ASSERT_TRUE(session.SetUser("admin"));
  ASSERT_TRUE(session.SetPassword("admin"));
  ASSERT_TRUE(session.OpenVideo());
  session.SetThreshold(18000);
  JpegSource& source = session;
  int frames = 0;
  uint8_t buf[4096];
  for (int pass = 0; pass < 500 && frames < 10; ++pass) {
    session.Fill();
    if (session.DropBacklog() || session.ParseHeader(nullptr, nullptr) < 0) continue;
    ASSERT_GT(session.Part().length, 100);
    EXPECT_TRUE(session.Part().stamped);
    std::string frame;
    bool end = false;
    while (!end) frame.append(reinterpret_cast<char*>(buf), size_t(source.Read(buf, sizeof buf, &end)));
    ASSERT_GE(frame.size(), size_t(session.Part().length));
    frame.resize(size_t(session.Part().length));
    EXPECT_EQ(frame.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(frame.substr(frame.size() - 2), "\xFF\xD9");
    EXPECT_GT(session.cameraTime.year, 100);
    ++frames;
  }
  session.CloseVideo();
  EXPECT_EQ(frames, 10);
  if (std::getenv("QERN_CAMSIM_LOG_WIN")) {
    const std::string log = RequestLog();
    EXPECT_NE(log.find("auth=yes GET /video.cgi"), std::string::npos) << log;
  }
}

TEST_F(Camsim, WrongPasswordIsRefused) {
  StreamSession session;
  session.SetUrl(("http://127.0.0.1:" + std::to_string(port)).c_str());
  session.SetPath("/video.cgi");
  session.SetUser("admin");
  session.SetPassword("wrong");
  const size_t logBefore = RequestLog().size();
  // Whether or not the request counts as sent, no frame comes out of the refusal.
  if (session.OpenVideo()) {
    session.SetThreshold(1000);
    session.Fill();
    EXPECT_LT(session.ParseHeader(nullptr, nullptr), 0);
    EXPECT_TRUE(session.StreamEnded());
  }
  session.CloseVideo();
  if (std::getenv("QERN_CAMSIM_LOG_WIN")) {
    const std::string log = RequestLog().substr(logBefore);
    EXPECT_NE(log.find("auth=no GET /video.cgi"), std::string::npos) << log;
    EXPECT_EQ(log.find("auth=yes GET /video.cgi"), std::string::npos) << log;
  }
}

TEST_F(Camsim, SettingsReadOverTheSocket) {
  SocketClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", port));
  ASSERT_TRUE(client.SendRequest("/Rdimagectrl.cgi", "admin", "admin"));
  char reply[1024] = {};
  const int32_t n = client.Receive(reply, sizeof reply - 1);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(reply, 12).substr(0, 5), "HTTP/");
  client.Close();
}

}  // namespace
