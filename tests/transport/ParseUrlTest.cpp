#include <gtest/gtest.h>

#include <climits>

#include "common/Url.h"

namespace qern {

namespace {

TEST(ParseUrl, Shapes) {
    const struct {
        std::string url, scheme, user, password, host;
        int port;
        std::string path;
    } cases[] = {
        {"http://127.0.0.1:81/x", "http", "", "", "127.0.0.1", 81, "/x"},
        {"127.0.0.1", "http", "", "", "127.0.0.1", 80, "/"},  // bare host: defaults
        {"https://admin:se:cret@127.0.0.1/video.cgi?x=1", "https", "admin", "se:cret", "127.0.0.1", 443,
         "/video.cgi?x=1"},
        {"ftp://127.0.0.1", "ftp", "", "", "127.0.0.1", 21, "/"},
        {"gopher://127.0.0.1", "gopher", "", "", "127.0.0.1", 80, "/"},
        {"http://admin@127.0.0.1:8080/", "http", "", "", "127.0.0.1", 8080, "/"},  // no colon: neither
        {"HTTPS://127.0.0.1/a", "HTTPS", "", "", "127.0.0.1", 80, "/a"},           // case-sensitive scheme
        {"127.0.0.1:8081", "http", "", "", "127.0.0.1", 8081, "/"},                // a colon without "/" is a port
        {"http:/", "http", "", "", "", 80, "/"},
        {"", "http", "", "", "", 80, "/"},
        // The port is read like atoi, held to int.
        {"http://127.0.0.1:0/", "http", "", "", "127.0.0.1", 0, "/"},
        {"http://127.0.0.1: 81/", "http", "", "", "127.0.0.1", 81, "/"},
        {"http://127.0.0.1:-5/", "http", "", "", "127.0.0.1", -5, "/"},
        {"http://127.0.0.1:/", "http", "", "", "127.0.0.1", 0, "/"},
        {"http://127.0.0.1:81abc/", "http", "", "", "127.0.0.1", 81, "/"},
        {"http://127.0.0.1:99999999999999999999/", "http", "", "", "127.0.0.1", INT_MAX, "/"},
        {"http://127.0.0.1:-99999999999999999999/", "http", "", "", "127.0.0.1", INT_MIN, "/"},
    };
    for (const auto& c : cases) {
        const ParsedUrl u = ParseUrl(c.url);
        EXPECT_EQ(u.scheme, c.scheme) << c.url;
        EXPECT_EQ(u.user, c.user) << c.url;
        EXPECT_EQ(u.password, c.password) << c.url;
        EXPECT_EQ(u.host, c.host) << c.url;
        EXPECT_EQ(u.port, c.host.empty() ? u.port : c.port) << c.url;
        EXPECT_EQ(u.path, c.path) << c.url;
    }
    const std::string longHost(5000, 'h');
    EXPECT_EQ(ParseUrl("http://" + longHost + "/p").host, longHost);
}

}  // namespace

}  // namespace qern
