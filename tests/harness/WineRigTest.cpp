// The Windows half of the harness: WinINet against the simulator, a window, a sound device.
#include <windows.h>
#include <wininet.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/Camsim.h"

namespace {

struct InternetHandleCloser {
  void operator()(void* h) const { InternetCloseHandle(static_cast<HINTERNET>(h)); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

struct Reply {
  DWORD status = 0;
  std::string body;
};

// One GET through WinINet, the way the live view's client talks to a camera.
Reply Get(const char* path, const char* user, const char* password) {
  Reply reply;
  InternetHandle net(InternetOpenA("Mozilla/4.0 (compatible; )", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!net) return reply;
  InternetHandle conn(InternetConnectA(static_cast<HINTERNET>(net.get()), "127.0.0.1",
                                       static_cast<INTERNET_PORT>(qern::test::CamsimPort()), user, password,
                                       INTERNET_SERVICE_HTTP, 0, 0));
  if (!conn) return reply;
  const char* accept[] = {"*/*", nullptr};
  InternetHandle req(HttpOpenRequestA(static_cast<HINTERNET>(conn.get()), "GET", path, "HTTP/1.0", nullptr, accept,
                                      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD, 0));
  if (!req || !HttpSendRequestA(static_cast<HINTERNET>(req.get()), nullptr, 0, nullptr, 0)) return reply;
  DWORD size = sizeof(reply.status);
  HttpQueryInfoA(static_cast<HINTERNET>(req.get()), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &reply.status,
                 &size, nullptr);
  char buf[4096];
  DWORD got = 0;
  while (reply.body.size() < 65536 && InternetReadFile(static_cast<HINTERNET>(req.get()), buf, sizeof buf, &got) &&
         got > 0) {
    reply.body.append(buf, got);
  }
  return reply;
}

class WineRig : public ::testing::Test {
 protected:
  void SetUp() override { QERN_NEED_CAMSIM(""); }
};

TEST_F(WineRig, AuthorizedSettingsReadReturnsKeys) {
  Reply r = Get("/Rdimagectrl.cgi", "admin", "admin");
  EXPECT_EQ(r.status, 200u);
  EXPECT_NE(r.body.find("Brne "), std::string::npos) << r.body;
  EXPECT_NE(r.body.find("Nhum "), std::string::npos) << r.body;
}

TEST_F(WineRig, MissingOrWrongCredentialsAreRefused) {
  EXPECT_EQ(Get("/Rdimagectrl.cgi", nullptr, nullptr).status, 401u);
  EXPECT_EQ(Get("/Rdimagectrl.cgi", "admin", "wrong").status, 401u);
}

TEST_F(WineRig, VideoStreamDeliversJpegParts) {
  Reply r = Get("/video.cgi", "admin", "admin");
  EXPECT_EQ(r.status, 200u);
  EXPECT_NE(r.body.find("Content-Type: image/jpeg"), std::string::npos);
  EXPECT_NE(r.body.find("\xFF\xD8"), std::string::npos);
}

TEST_F(WineRig, RequestLogSeesTheAuthorizedRequest) {
  Get("/RdPTctrl.cgi", "admin", "admin");
  const std::string log = qern::test::CamsimRequestLog();
  EXPECT_NE(log.find("/RdPTctrl.cgi"), std::string::npos) << log;
}

TEST(WineDesktop, WindowsAndSoundDeviceExist) {
  HWND w = CreateWindowExA(0, "STATIC", "rig", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr) << "no display";
  DestroyWindow(w);
  IDirectSound* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK) << "no sound device";
  ds->Release();
}

}  // namespace
