#include <gtest/gtest.h>

#include <climits>

#include "common/Url.h"

namespace {

TEST(ParseUrl, SchemeHostPortPath) {
  const ParsedUrl u = ParseUrl("http://127.0.0.1:81/x");
  EXPECT_EQ(u.scheme, "http");
  EXPECT_EQ(u.host, "127.0.0.1");
  EXPECT_EQ(u.port, 81);
  EXPECT_EQ(u.path, "/x");
  EXPECT_EQ(u.user, "");
  EXPECT_EQ(u.password, "");
}

TEST(ParseUrl, BareHostGetsDefaults) {
  const ParsedUrl u = ParseUrl("127.0.0.1");
  EXPECT_EQ(u.scheme, "http");
  EXPECT_EQ(u.host, "127.0.0.1");
  EXPECT_EQ(u.port, 80);
  EXPECT_EQ(u.path, "/");
}

TEST(ParseUrl, UserPasswordAndDefaultPorts) {
  const ParsedUrl s = ParseUrl("https://admin:se:cret@127.0.0.1/video.cgi?x=1");
  EXPECT_EQ(s.scheme, "https");
  EXPECT_EQ(s.user, "admin");
  EXPECT_EQ(s.password, "se:cret");
  EXPECT_EQ(s.host, "127.0.0.1");
  EXPECT_EQ(s.port, 443);
  EXPECT_EQ(s.path, "/video.cgi?x=1");
  EXPECT_EQ(ParseUrl("ftp://127.0.0.1").port, 21);
  EXPECT_EQ(ParseUrl("gopher://127.0.0.1").port, 80);
}

TEST(ParseUrl, UserWithoutColonSetsNeither) {
  const ParsedUrl u = ParseUrl("http://admin@127.0.0.1:8080/");
  EXPECT_EQ(u.user, "");
  EXPECT_EQ(u.password, "");
  EXPECT_EQ(u.host, "127.0.0.1");
  EXPECT_EQ(u.port, 8080);
}

TEST(ParseUrl, SchemeIsCaseSensitive) {
  const ParsedUrl u = ParseUrl("HTTPS://127.0.0.1/a");
  EXPECT_EQ(u.scheme, "HTTPS");
  EXPECT_EQ(u.port, 80);
  EXPECT_EQ(u.path, "/a");
}

TEST(ParseUrl, PortTextReadLikeAtoi) {
  EXPECT_EQ(ParseUrl("http://127.0.0.1:0/").port, 0);
  EXPECT_EQ(ParseUrl("http://127.0.0.1: 81/").port, 81);
  EXPECT_EQ(ParseUrl("http://127.0.0.1:-5/").port, -5);
  EXPECT_EQ(ParseUrl("http://127.0.0.1:/").port, 0);
  EXPECT_EQ(ParseUrl("http://127.0.0.1:81abc/").port, 81);
  EXPECT_EQ(ParseUrl("http://127.0.0.1:99999999999999999999/").port, INT_MAX);
  EXPECT_EQ(ParseUrl("http://127.0.0.1:-99999999999999999999/").port, INT_MIN);
}

TEST(ParseUrl, OddShapesStayInsideTheText) {
  // A colon not followed by "/" is no scheme separator: "host:port" alone.
  const ParsedUrl hp = ParseUrl("127.0.0.1:8081");
  EXPECT_EQ(hp.scheme, "http");
  EXPECT_EQ(hp.host, "127.0.0.1");
  EXPECT_EQ(hp.port, 8081);
  EXPECT_EQ(hp.path, "/");
  const ParsedUrl cut = ParseUrl("http:/");
  EXPECT_EQ(cut.scheme, "http");
  EXPECT_EQ(cut.host, "");
  EXPECT_EQ(cut.path, "/");
  const ParsedUrl empty = ParseUrl("");
  EXPECT_EQ(empty.host, "");
  EXPECT_EQ(empty.path, "/");
  const std::string longHost(5000, 'h');
  EXPECT_EQ(ParseUrl("http://" + longHost + "/p").host, longHost);
}

}  // namespace
