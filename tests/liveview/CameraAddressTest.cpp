#include <gtest/gtest.h>

#include "liveview/CameraAddress.h"

namespace {

UrlParts Http(const char* host, uint16_t port, const char* path) {
    UrlParts p;
    p.scheme = "http";
    p.schemeNumber = kUrlSchemeHttp;
    p.host = host;
    p.port = port;
    p.path = path;
    return p;
}

}  // namespace

TEST(CameraAddress, HttpUrlGivesItsBaseAndPath) {
    CameraAddress a = ResolveCameraAddress("http://127.0.0.1:81/video.cgi", Http("127.0.0.1", 81, "/video.cgi"),
                                           true, nullptr);
    EXPECT_TRUE(a.hasBase);
    EXPECT_EQ(a.base, "http://127.0.0.1:81");
    EXPECT_EQ(a.path, "/video.cgi");
}

TEST(CameraAddress, PathTakesThePagesServer) {
    UrlParts page = Http("127.0.0.1", 80, "/index.html");
    CameraAddress a = ResolveCameraAddress("/video.cgi", UrlParts(), false, &page);
    EXPECT_TRUE(a.hasBase);
    EXPECT_EQ(a.base, "http://127.0.0.1:80");
    EXPECT_EQ(a.path, "/video.cgi");
}

TEST(CameraAddress, PathWithoutPageHasNoBase) {
    CameraAddress a = ResolveCameraAddress("/video.cgi", UrlParts(), false, nullptr);
    EXPECT_FALSE(a.hasBase);
    EXPECT_EQ(a.path, "/video.cgi");
}

TEST(CameraAddress, OtherSchemeIsTakenAsAPath) {
    UrlParts ftp = Http("127.0.0.1", 21, "/x");
    ftp.scheme = "ftp";
    ftp.schemeNumber = 1;
    CameraAddress a = ResolveCameraAddress("ftp://127.0.0.1/x", ftp, true, nullptr);
    EXPECT_FALSE(a.hasBase);
    EXPECT_EQ(a.path, "ftp://127.0.0.1/x");
}

TEST(CameraAddress, LongHostIsFormattedWhole) {
    std::string host(300, 'h');
    UrlParts p = Http(host.c_str(), 65535, "/");
    EXPECT_EQ(FormatBaseUrl(p), "http://" + host + ":65535");
}
