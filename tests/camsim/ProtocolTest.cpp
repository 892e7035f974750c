// Request parsing, Basic authorization, part headers and stamps, CRC-32 and options.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/camsim/CamsimTestSupport.h"
#include "tools/camsim/BasicAuth.h"
#include "tools/camsim/Crc32.h"
#include "tools/camsim/EventLog.h"
#include "tools/camsim/HttpReply.h"
#include "tools/camsim/HttpRequest.h"
#include "tools/camsim/Options.h"
#include "tools/camsim/PartHeader.h"

using namespace camsim;

TEST(CamsimBase64, DecodesPaddedAndUnpaddedGroups) {
  EXPECT_EQ(DecodeBase64("YWRtaW46YWRtaW4="), "admin:admin");
  EXPECT_EQ(DecodeBase64("YQ=="), "a");
  EXPECT_EQ(DecodeBase64("YWI="), "ab");
  EXPECT_EQ(DecodeBase64("YWJj"), "abc");
  EXPECT_EQ(DecodeBase64(""), "");
  EXPECT_EQ(DecodeBase64("/w=="), std::string(1, '\xff'));
}

TEST(CamsimBase64, SkipsLineBreaksInsideTheText) {
  EXPECT_EQ(DecodeBase64("YWRt\naW46\r\nYWRtaW4=\n"), "admin:admin");
}

TEST(CamsimBase64, RejectsMalformedText) {
  EXPECT_FALSE(DecodeBase64("YWRt*W4="));   // not in the alphabet
  EXPECT_FALSE(DecodeBase64("YQ==YQ=="));   // data after padding
  EXPECT_FALSE(DecodeBase64("Y"));          // a lone symbol
  EXPECT_FALSE(DecodeBase64("YQ="));        // padding that does not complete a group
  EXPECT_FALSE(DecodeBase64("Y==="));
}

TEST(CamsimBasicAuth, MatchesOnlyTheConfiguredCredentials) {
  const Credentials admin{"admin", "admin"};
  EXPECT_TRUE(BasicAuthorizationMatches("Basic YWRtaW46YWRtaW4=", admin));
  EXPECT_TRUE(BasicAuthorizationMatches("basic YWRtaW46YWRtaW4=", admin));
  EXPECT_FALSE(BasicAuthorizationMatches(camsim_test::BasicHeader("admin", "wrong"), admin));
  EXPECT_FALSE(BasicAuthorizationMatches(camsim_test::BasicHeader("admin", "admin2"), admin));
  EXPECT_FALSE(BasicAuthorizationMatches(camsim_test::BasicHeader("", "admin"), admin));
  EXPECT_FALSE(BasicAuthorizationMatches("Digest YWRtaW46YWRtaW4=", admin));
  EXPECT_FALSE(BasicAuthorizationMatches("BasicYWRtaW46YWRtaW4=", admin));
  EXPECT_FALSE(BasicAuthorizationMatches("Basic", admin));
  EXPECT_FALSE(BasicAuthorizationMatches("", admin));
}

TEST(CamsimBasicAuth, AcceptsCredentialsBrokenAfter72Characters) {
  // A 60-byte credentials text encodes to 80 characters; the client breaks the line
  // after the 72nd.
  const Credentials longOnes{std::string(30, 'u'), std::string(29, 'p')};
  std::string value = camsim_test::BasicHeader(longOnes.user, longOnes.password);
  ASSERT_EQ(value.size(), 6u + 80u);
  value.insert(6 + 72, "\n");
  EXPECT_TRUE(BasicAuthorizationMatches(value, longOnes));
}

TEST(CamsimRequest, ParsesTheSettingsChannelsRawRequest) {
  const std::string raw = "GET /imagectrl.cgi?Brne=4 HTTP/1.1\r\nAuthorization: Basic YWRtaW46YWRtaW4=\r\n\r\n";
  HeadParse parse = ParseRequestHead(raw);
  ASSERT_EQ(parse.status, HeadStatus::Complete);
  EXPECT_EQ(parse.consumed, raw.size());
  EXPECT_EQ(parse.request.method, "GET");
  EXPECT_EQ(parse.request.target, "/imagectrl.cgi?Brne=4");
  EXPECT_EQ(parse.request.Path(), "/imagectrl.cgi");
  EXPECT_EQ(parse.request.Query(), "Brne=4");
  EXPECT_EQ(parse.request.version, "HTTP/1.1");
  EXPECT_EQ(parse.request.Header("authorization"), "Basic YWRtaW46YWRtaW4=");
  EXPECT_FALSE(parse.request.Header("Host"));
  EXPECT_TRUE(parse.request.KeepAlive());
}

TEST(CamsimRequest, KeepsBlanksAndBackslashesOfTheTarget) {
  HeadParse parse = ParseRequestHead("GET /DVRctrl.cgi?PathD=c:\\My Videos\\cam 1\\ HTTP/1.1\r\n\r\n");
  ASSERT_EQ(parse.status, HeadStatus::Complete);
  EXPECT_EQ(parse.request.Query(), "PathD=c:\\My Videos\\cam 1\\");
}

TEST(CamsimRequest, SplitsRequestsSentBackToBack) {
  const std::string first = camsim_test::RawGet("/RdDVRctrl.cgi");
  const std::string second = camsim_test::RawGet("/Rdimagectrl.cgi");
  std::string buffer = first + second;
  HeadParse one = ParseRequestHead(buffer);
  ASSERT_EQ(one.status, HeadStatus::Complete);
  EXPECT_EQ(one.consumed, first.size());
  EXPECT_EQ(one.request.target, "/RdDVRctrl.cgi");
  buffer.erase(0, one.consumed);
  HeadParse two = ParseRequestHead(buffer);
  ASSERT_EQ(two.status, HeadStatus::Complete);
  EXPECT_EQ(two.request.target, "/Rdimagectrl.cgi");
}

TEST(CamsimRequest, KeepsALineFeedInsideTheAuthorizationValue) {
  // 52 to 54 bytes of credentials: 72 characters, then a line feed before the blank line.
  const std::string value = camsim_test::BasicHeader(std::string(26, 'u'), std::string(26, 'p'));
  ASSERT_EQ(value.size(), 6u + 72u);
  HeadParse parse = ParseRequestHead("GET /RdPTctrl.cgi HTTP/1.1\r\nAuthorization: " + value + "\n\r\n\r\n");
  ASSERT_EQ(parse.status, HeadStatus::Complete);
  ASSERT_EQ(parse.request.headers.size(), 1u);
  EXPECT_TRUE(BasicAuthorizationMatches(*parse.request.Header("Authorization"),
                                        Credentials{std::string(26, 'u'), std::string(26, 'p')}));
}

TEST(CamsimRequest, KeepsALineFeedInTheMiddleOfTheAuthorizationValue) {
  // Longer credentials: the line feed after the 72nd character splits the value.
  const Credentials longOnes{std::string(30, 'u'), std::string(29, 'p')};
  std::string value = camsim_test::BasicHeader(longOnes.user, longOnes.password);
  value.insert(6 + 72, "\n");
  HeadParse parse = ParseRequestHead("GET /RdPTctrl.cgi HTTP/1.1\r\nAuthorization: " + value + "\r\n\r\n");
  ASSERT_EQ(parse.status, HeadStatus::Complete);
  EXPECT_EQ(parse.request.version, "HTTP/1.1");
  ASSERT_EQ(parse.request.headers.size(), 1u);
  EXPECT_TRUE(BasicAuthorizationMatches(*parse.request.Header("Authorization"), longOnes));
}

TEST(CamsimRequest, ReportsIncompleteMalformedAndOversizedHeads) {
  EXPECT_EQ(ParseRequestHead("GET /video.cgi HTTP/1.0\r\n").status, HeadStatus::Incomplete);
  EXPECT_EQ(ParseRequestHead("").status, HeadStatus::Incomplete);
  EXPECT_EQ(ParseRequestHead("GET\r\n\r\n").status, HeadStatus::Malformed);
  EXPECT_EQ(ParseRequestHead("GET /video.cgi\r\n\r\n").status, HeadStatus::Malformed);
  EXPECT_EQ(ParseRequestHead("GET /video.cgi FTP/1.0\r\n\r\n").status, HeadStatus::Malformed);
  EXPECT_EQ(ParseRequestHead("GET /" + std::string(kMaxRequestHead, 'a')).status, HeadStatus::TooLarge);
  EXPECT_EQ(ParseRequestHead("GET /" + std::string(kMaxRequestHead, 'a') + " HTTP/1.1\r\n\r\n").status,
            HeadStatus::TooLarge);
}

TEST(CamsimRequest, AcceptsHandTypedLineFeedsAndLeadingBlankLines) {
  HeadParse parse = ParseRequestHead("\r\nGET /RdPTctrl.cgi HTTP/1.0\nAuthorization: Basic YWRtaW46YWRtaW4=\n\n");
  ASSERT_EQ(parse.status, HeadStatus::Complete);
  EXPECT_EQ(parse.request.target, "/RdPTctrl.cgi");
  EXPECT_EQ(parse.request.Header("Authorization"), "Basic YWRtaW46YWRtaW4=");
  EXPECT_FALSE(parse.request.KeepAlive());  // HTTP/1.0 without keep-alive
}

TEST(CamsimReply, UnauthorizedCarriesChallengeAndLength) {
  const std::string reply = UnauthorizedReply("camsim", true);
  EXPECT_EQ(reply.rfind("HTTP/1.1 401 Unauthorized\r\n", 0), 0u);
  EXPECT_NE(reply.find("\r\nWWW-Authenticate: Basic realm=\"camsim\"\r\n"), std::string::npos);
  const size_t body = reply.find("\r\n\r\n") + 4;
  EXPECT_EQ(camsim_test::HeaderValue(reply, "Content-Length"), std::to_string(reply.size() - body));
}

TEST(CamsimStamp, FormatsTwoEightAndFiveHexDigits) {
  EXPECT_EQ(FormatStamp(FrameStamp{0x1F, 0x5F5E1000, 999999}), "1F5F5E1000F423F");
  EXPECT_EQ(FormatStamp(FrameStamp{0, 0, 0}), "000000000000000");
  EXPECT_EQ(FormatStamp(FrameStamp{0x1AB, 1, 1}).substr(0, 2), "AB");  // only the low byte

  unsigned first = 0, seconds = 0, micros = 0;
  ASSERT_EQ(std::sscanf(FormatStamp(FrameStamp{0x42, 0x65432100, 123456}).c_str(), "%02X%08X%05X", &first,
                        &seconds, &micros),
            3);
  EXPECT_EQ(first, 0x42u);
  EXPECT_EQ(seconds, 0x65432100u);
  EXPECT_EQ(micros, 123456u);
}

TEST(CamsimStamp, ExactStampsFollowTheFrameIndex) {
  const uint32_t start = 1700000000;
  EXPECT_EQ(ExactStamp(start, 0, 25).seconds, start);
  EXPECT_EQ(ExactStamp(start, 0, 25).micros, 0u);
  EXPECT_EQ(ExactStamp(start, 24, 25).micros, 960000u);
  EXPECT_EQ(ExactStamp(start, 25, 25).seconds, start + 1);
  EXPECT_EQ(ExactStamp(start, 25, 25).micros, 0u);
  EXPECT_EQ(ExactStamp(start, 1, 30).micros, 33333u);
  EXPECT_EQ(ExactStamp(start, 301, 30).seconds, start + 10);
  EXPECT_EQ(ExactStamp(start, 301, 30).tag, 301u % 256);
}

TEST(CamsimPartHeader, HasTheExactLayout) {
  EXPECT_EQ(FormatPartHeader(12345, FrameStamp{1, 0x12345678, 0xABCDE}),
            "--camsimframe\r\nContent-Type: image/jpeg\r\nContent-Length: 12345\r\n"
            "Content-Auth: 0112345678ABCDE\r\n\r\n");
  EXPECT_EQ(FormatPartHeader(7, std::nullopt),
            "--camsimframe\r\nContent-Type: image/jpeg\r\nContent-Length: 7\r\n\r\n");
  EXPECT_EQ(VideoContentType(), "multipart/x-mixed-replace; boundary=camsimframe");
}

TEST(CamsimCrc32, MatchesTheStandardCheckValue) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
  // Feeding the bytes in two pieces gives the same value.
  EXPECT_EQ(Crc32("6789", 4, Crc32("12345", 5)), 0xCBF43926u);
}

TEST(CamsimLogLines, NameConnectionAuthorizationAndTarget) {
  EXPECT_EQ(RequestLogLine(3, true, "GET", "/DVRctrl.cgi?PathD=c:\\a b\\"),
            "conn=3 auth=yes GET /DVRctrl.cgi?PathD=c:\\a b\\");
  EXPECT_EQ(RequestLogLine(1, false, "GET", "/video.cgi"), "conn=1 auth=no GET /video.cgi");
  EXPECT_EQ(FrameLogLine(2, 17, 4096, 0xCBF43926u, PartFault{}), "conn=2 frame=17 size=4096 crc32=CBF43926");
  EXPECT_EQ(FrameLogLine(2, 3, 10, 0xAu, PartFault{true, true}),
            "conn=2 frame=3 size=10 crc32=0000000A truncated wrong-length");
}

namespace {

std::optional<Options> Parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
  std::string error;
  auto o = ParseOptions(args, error);
  if (errorOut) *errorOut = error;
  return o;
}

}  // namespace

TEST(CamsimOptions, DefaultsAreThoseOfTheCamera) {
  auto o = Parse({});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->port, 8080);
  EXPECT_EQ(o->bindAddress, "127.0.0.1");
  EXPECT_EQ(o->user, "admin");
  EXPECT_EQ(o->password, "admin");
  EXPECT_EQ(o->fps, 25);
  EXPECT_EQ(o->size, (VideoSize{640, 480}));
  EXPECT_EQ(o->jpeg.subsampling, Subsampling::S422);
  EXPECT_FALSE(o->jpeg.progressive);
  EXPECT_EQ(o->jpeg.restartInterval, 0);
  EXPECT_FALSE(o->noStamp);
  EXPECT_FALSE(o->exactStamps);
  EXPECT_EQ(o->audio.signal, AudioSignal::Counter);
}

TEST(CamsimOptions, ParsesEveryOptionInBothForms) {
  auto o = Parse({"--port=0", "--user", "u", "--password=p w", "--fps", "10", "--size", "176x144",
                  "--subsampling=gray", "--quality", "50", "--progressive", "--restart", "4", "--frames", "/tmp/x",
                  "--no-stamp", "--exact-stamps", "--start-time", "1700000000", "--log", "r.log", "--frame-log",
                  "f.log", "--audio", "tone", "--tone-hz", "440", "--audio-skip-every", "7", "--stall-after", "5",
                  "--drop-after", "6", "--no-answer", "--answer-after", "5", "--refuse-for", "1.5", "--refuse-from", "2", "--garbage",
                  "33", "--truncate-every", "3", "--wrong-length-every", "4", "--wrong-length-by", "-100",
                  "--drip", "2000", "--size-cycle", "9", "--ir", "1", "--port-file", "p.txt"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->port, 0);
  EXPECT_EQ(o->user, "u");
  EXPECT_EQ(o->password, "p w");
  EXPECT_EQ(o->fps, 10);
  EXPECT_EQ(o->size, (VideoSize{176, 144}));
  EXPECT_EQ(o->jpeg.subsampling, Subsampling::Gray);
  EXPECT_EQ(o->jpeg.quality, 50);
  EXPECT_TRUE(o->jpeg.progressive);
  EXPECT_EQ(o->jpeg.restartInterval, 4);
  EXPECT_EQ(o->framesDir, "/tmp/x");
  EXPECT_TRUE(o->noStamp);
  EXPECT_TRUE(o->exactStamps);
  EXPECT_EQ(o->startTime, 1700000000u);
  EXPECT_EQ(o->requestLog, "r.log");
  EXPECT_EQ(o->frameLog, "f.log");
  EXPECT_EQ(o->audio.signal, AudioSignal::Tone);
  EXPECT_EQ(o->audio.toneHz, 440);
  EXPECT_EQ(o->audio.skipEvery, 7);
  EXPECT_EQ(o->faults.stallAfter, 5);
  EXPECT_EQ(o->faults.dropAfter, 6);
  EXPECT_TRUE(o->faults.noAnswer);
  EXPECT_DOUBLE_EQ(o->faults.answerAfter, 5.0);
  EXPECT_DOUBLE_EQ(o->faults.refuseFor, 1.5);
  EXPECT_DOUBLE_EQ(o->faults.refuseFrom, 2.0);
  EXPECT_EQ(o->faults.garbageBytes, 33);
  EXPECT_EQ(o->faults.truncateEvery, 3);
  EXPECT_EQ(o->faults.wrongLengthEvery, 4);
  EXPECT_EQ(o->faults.wrongLengthBy, -100);
  EXPECT_EQ(o->faults.dripBytesPerSecond, 2000);
  EXPECT_EQ(o->faults.sizeCycle, 9);
  EXPECT_EQ(o->irState, 1);
  EXPECT_EQ(o->portFile, "p.txt");
}

TEST(CamsimOptions, RejectsUnknownOptionsAndBadValues) {
  std::string error;
  EXPECT_FALSE(Parse({"--colour"}, &error));
  EXPECT_NE(error.find("--colour"), std::string::npos);
  EXPECT_FALSE(Parse({"--port"}, &error));
  EXPECT_NE(error.find("needs a value"), std::string::npos);
  EXPECT_FALSE(Parse({"--port", "70000"}));
  EXPECT_FALSE(Parse({"--port", "80x"}));
  EXPECT_FALSE(Parse({"--fps", "0"}));
  EXPECT_FALSE(Parse({"--size", "800x600"}));
  EXPECT_FALSE(Parse({"--subsampling", "411"}));
  EXPECT_FALSE(Parse({"--quality", "101"}));
  EXPECT_FALSE(Parse({"--audio", "noise"}));
  EXPECT_FALSE(Parse({"--refuse-for", "-1"}));
  EXPECT_FALSE(Parse({"--refuse-for", "soon"}));
  EXPECT_FALSE(Parse({"--answer-after", "inf"}));
  EXPECT_FALSE(Parse({"--progressive=yes"}));
}

TEST(CamsimOptions, UsageNamesEveryOption) {
  const std::string usage = UsageText();
  for (const char* name : {"--port", "--port-file", "--user", "--password", "--fps", "--size", "--subsampling",
                           "--quality", "--progressive", "--restart", "--frames", "--no-stamp", "--exact-stamps",
                           "--start-time", "--log", "--frame-log", "--audio", "--stall-after", "--drop-after",
                           "--no-answer", "--answer-after", "--refuse-for", "--refuse-from", "--garbage", "--truncate-every",
                           "--wrong-length-every", "--wrong-length-by", "--drip", "--size-cycle", "--ir"}) {
    EXPECT_NE(usage.find(name), std::string::npos) << name;
  }
  auto help = Parse({"--help"});
  ASSERT_TRUE(help);
  EXPECT_TRUE(help->help);
}
