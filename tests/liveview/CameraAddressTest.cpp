// Full addresses and bare paths without a page go through put_URL in the control's own test.
#include <gtest/gtest.h>

#include "liveview/CameraAddress.h"

namespace qern {

TEST(CameraAddress, APathTakesThePagesServerAnotherSchemeIsAPathAndLongHostsAreWhole) {
    UrlParts page{"http", kUrlSchemeHttp, "127.0.0.1", 80, "", "", "/index.html", ""};
    CameraAddress a = ResolveCameraAddress("/video.cgi", UrlParts(), false, &page);
    EXPECT_TRUE(a.hasBase);
    EXPECT_EQ(a.base + " " + a.path, "http://127.0.0.1:80 /video.cgi");

    UrlParts ftp = page;
    ftp.scheme = "ftp";
    ftp.schemeNumber = 1;
    a = ResolveCameraAddress("ftp://127.0.0.1/x", ftp, true, nullptr);
    EXPECT_FALSE(a.hasBase);
    EXPECT_EQ(a.path, "ftp://127.0.0.1/x");

    page.host = std::string(300, 'h');
    page.port = 65535;
    EXPECT_EQ(FormatBaseUrl(page), "http://" + page.host + ":65535");
}

}  // namespace qern
