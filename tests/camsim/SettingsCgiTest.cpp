// The settings CGIs: reply texts parsed the way a settings client parses them, the
// state they keep, and the size of each whole reply.
#include <gtest/gtest.h>

#include "tests/camsim/CamsimTestSupport.h"
#include "tools/camsim/HttpReply.h"
#include "tools/camsim/SettingsCgi.h"

using namespace camsim;
using camsim_test::SettingValue;

namespace {

CgiReply Call(SettingsState& state, const std::string& target) {
  const size_t q = target.find('?');
  const std::string path = target.substr(0, q);
  const std::string query = q == std::string::npos ? "" : target.substr(q + 1);
  std::optional<CgiReply> reply = HandleSettingsCgi(path, query, state);
  EXPECT_TRUE(reply) << target;
  return reply.value_or(CgiReply{0, ""});
}

// The whole reply as it goes out, status line and headers included.
std::string Wire(const CgiReply& reply) { return TextReply(reply.status, reply.body, true); }

}  // namespace

TEST(CamsimSettings, ImageReaderListsAllThirteenKeys) {
  SettingsState state;
  const std::string reply = Wire(Call(state, "/Rdimagectrl.cgi"));
  const std::pair<const char*, const char*> expected[] = {
      {"Resl", "1"}, {"Ligt", "0"}, {"Frte", "25"}, {"Auex", "1"}, {"Auwb", "1"}, {"Shap", "3"}, {"Nhum", "50"},
      {"Brne", "4"}, {"Cont", "6"}, {"Sarn", "6"}, {"Freq", "50"}, {"Mirr", "0"}, {"Vflp", "0"}};
  for (const auto& [key, value] : expected) EXPECT_EQ(SettingValue(reply, key), value) << key;
  // The hue is read under Nhum only.
  EXPECT_FALSE(SettingValue(reply, "Nhue"));
  EXPECT_LE(reply.size(), kMaxImageSettingsReply);
  // Every value fits the four characters a client keeps.
  for (const auto& [key, value] : expected) EXPECT_LE(SettingValue(reply, key)->size(), 4u) << key;
}

TEST(CamsimSettings, SettersChangeWhatTheReaderReports) {
  SettingsState state;
  EXPECT_EQ(Call(state, "/imagectrl.cgi?Brne=7").status, 200);
  EXPECT_EQ(Call(state, "/imagectrl.cgi?Cont=11").status, 200);
  EXPECT_EQ(Call(state, "/imagectrl.cgi?Sarn=1").status, 200);
  EXPECT_EQ(Call(state, "/imagectrl.cgi?Nhue=99").status, 200);
  EXPECT_EQ(Call(state, "/imagectrl.cgi?Resl=3").status, 200);
  const std::string reply = Wire(Call(state, "/Rdimagectrl.cgi"));
  EXPECT_EQ(SettingValue(reply, "Brne"), "7");
  EXPECT_EQ(SettingValue(reply, "Cont"), "11");
  EXPECT_EQ(SettingValue(reply, "Sarn"), "1");
  EXPECT_EQ(SettingValue(reply, "Nhum"), "99");
  EXPECT_EQ(SettingValue(reply, "Resl"), "3");
  EXPECT_EQ(state.Snapshot().Size(), (VideoSize{176, 144}));
  EXPECT_EQ(state.Snapshot().picture.hue, 99);
}

TEST(CamsimSettings, SetterRepliesFitOneReceive) {
  SettingsState state;
  for (const char* target : {"/imagectrl.cgi?Resl=2", "/imagectrl.cgi?Brne=1", "/imagectrl.cgi?Cont=1",
                             "/imagectrl.cgi?Sarn=11", "/imagectrl.cgi?Nhue=1", "/DVRctrl.cgi?TimeD=9999",
                             "/RdDVRctrl.cgi", "/RdPTctrl.cgi", "/imagectrl.cgi?Brne=0"}) {
    EXPECT_LE(Wire(Call(state, target)).size(), kMaxSettingsReply) << target;
  }
}

TEST(CamsimSettings, InvalidSettingsChangeNothing) {
  SettingsState state;
  for (const char* target : {"/imagectrl.cgi?Brne=8", "/imagectrl.cgi?Brne=0", "/imagectrl.cgi?Cont=12",
                             "/imagectrl.cgi?Sarn=x", "/imagectrl.cgi?Nhue=100", "/imagectrl.cgi?Resl=4",
                             "/imagectrl.cgi?Nhum=20", "/imagectrl.cgi?Brne=5&Cont=99", "/imagectrl.cgi",
                             "/imagectrl.cgi?Brne=", "/DVRctrl.cgi?TimeD=-1", "/DVRctrl.cgi?TimeD=10000",
                             "/DVRctrl.cgi?Path=x", "/DVRctrl.cgi"}) {
    EXPECT_EQ(Call(state, target).status, 400) << target;
  }
  const CameraSettings s = state.Snapshot();
  EXPECT_EQ(s.picture.brightness, 4);  // "Brne=5&Cont=99" did not half-apply
  EXPECT_EQ(s.picture.contrast, 6);
  EXPECT_EQ(s.picture.hue, 50);
  EXPECT_EQ(s.resl, 1);
  EXPECT_EQ(s.dvrTime, 30);
}

TEST(CamsimSettings, SeveralKeysInOneQueryApplyTogether) {
  SettingsState state;
  const CgiReply reply = Call(state, "/imagectrl.cgi?Brne=2&Sarn=3");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(SettingValue(reply.body, "Brne"), "2");
  EXPECT_EQ(SettingValue(reply.body, "Sarn"), "3");
  EXPECT_EQ(state.Snapshot().picture.brightness, 2);
  EXPECT_EQ(state.Snapshot().picture.saturation, 3);
}

TEST(CamsimSettings, RecorderFolderIsKeptAsSent) {
  SettingsState state;
  const std::string folder = "c:\\My Videos\\cam 1&2\\";
  EXPECT_EQ(Call(state, "/DVRctrl.cgi?PathD=" + folder).status, 200);
  EXPECT_EQ(Call(state, "/DVRctrl.cgi?TimeD=45").status, 200);
  const std::string reply = Wire(Call(state, "/RdDVRctrl.cgi"));
  EXPECT_EQ(SettingValue(reply, "DvrPath :"), folder);
  EXPECT_EQ(SettingValue(reply, "DvrTime :"), "45");
  EXPECT_LE(reply.size(), kMaxSettingsReply);
}

TEST(CamsimSettings, RecorderReaderHasItsDefaults) {
  SettingsState state;
  const std::string reply = Wire(Call(state, "/RdDVRctrl.cgi"));
  EXPECT_EQ(SettingValue(reply, "DvrTime :"), "30");
  EXPECT_EQ(SettingValue(reply, "DvrPath :"), "c:\\QERN\\REC\\");
}

TEST(CamsimSettings, FolderTooLongForOneReplyIsRefused) {
  SettingsState state;
  const std::string longest(100, 'a');
  EXPECT_EQ(Call(state, "/DVRctrl.cgi?PathD=" + longest).status, 200);
  EXPECT_LE(Wire(Call(state, "/RdDVRctrl.cgi")).size(), kMaxSettingsReply);
  EXPECT_EQ(Call(state, "/DVRctrl.cgi?PathD=" + std::string(200, 'b')).status, 400);
  EXPECT_EQ(state.Snapshot().dvrPath, longest);
}

TEST(CamsimSettings, IrStateFollowsTheKeyWithoutABlank) {
  CameraSettings on;
  on.irSet = 1;
  SettingsState state(on);
  const std::string reply = Wire(Call(state, "/RdPTctrl.cgi"));
  const size_t at = reply.find("IR_set:");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(reply[at + 7], '1');
  SettingsState off;
  const std::string offReply = Wire(Call(off, "/RdPTctrl.cgi"));
  EXPECT_EQ(offReply[offReply.find("IR_set:") + 7], '0');
}

TEST(CamsimSettings, OtherPathsAreNotSettings) {
  SettingsState state;
  EXPECT_FALSE(HandleSettingsCgi("/video.cgi", "", state));
  EXPECT_FALSE(HandleSettingsCgi("/rdimagectrl.cgi", "", state));
  EXPECT_FALSE(HandleSettingsCgi("/imagectrl", "Brne=4", state));
}
