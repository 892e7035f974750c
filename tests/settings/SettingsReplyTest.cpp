#include <gtest/gtest.h>

#include <string>

#include "settings/SettingsReply.h"

namespace qern {

namespace {

const char kHead[] = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 120\r\n\r\n";

TEST(SettingsReply, ParseNumberCases) {
    struct Case {
        std::string reply;
        const char* key;
        bool written;
        int32_t value;  // -77 = unchanged
    } cases[] = {
        {std::string(kHead) + "Cont 9.\r\n", "Cont", true, 9},    // header names never match
        {std::string(kHead) + "Resl2.\r\n", "Resl", false, -77},  // no space after the key
        {"Resl2. Resl 3.", "Resl", true, 3},                      // a later occurrence does
        {"DvrTime : 30.\r\n", "DvrTime :", true, 30},
        {"DvrTime :   12.", "DvrTime :", true, 12},
        {"Brne 4.7e1.", "Brne", true, 4},  // the value ends at the first full stop
        {"Brne -3.", "Brne", true, -3},
        {"Brne abc.", "Brne", true, 0},                // no number gives 0
        {"Brne 123456789.", "Brne", true, 123456789},  // long values are read whole
        {"Brne 99999999999.", "Brne", false, -77},     // beyond 32 bits: refused
        {"Brne 7", "Brne", false, -77},                // cut before its full stop
        {"Nhum 50.", "Nhue", false, -77},
        {"Nhue 50.", "Nhum", false, -77},
        {"Sarn ", "Sarn", false, -77},
        {"", "Cont", false, -77},
    };
    for (const Case& c : cases) {
        int32_t out = -77;
        EXPECT_EQ(ParseNumber(c.reply, c.key, out), c.written) << c.reply;
        EXPECT_EQ(out, c.value) << c.reply;
    }
}

TEST(SettingsReply, ParseTextAndIrFlag) {
    struct Case {
        std::string reply;
        bool written;
        std::string value;
    } cases[] = {
        {"DvrTime : 30.\r\nDvrPath : c:\\QERN\\REC\\.\r\n", true, "c:\\QERN\\REC\\"},
        {"DvrPath :d:\\a.b.", true, "d:\\a"},  // cut at its own full stop
        {"DvrPath : c:\\x", false, "old"},     // no full stop
        {"DvrPath : " + std::string(259, 'p') + ".", true, std::string(259, 'p')},
        {"DvrPath : " + std::string(260, 'p') + ".", false, "old"},  // would not fit with its terminator
        {"DvrTime : 30.", false, "old"},
    };
    for (const Case& c : cases) {
        std::string out = "old";
        EXPECT_EQ(ParseText(c.reply, "DvrPath :", out), c.written) << c.reply;
        EXPECT_EQ(out, c.value) << c.reply;
    }
    EXPECT_TRUE(ParseIrFlag("HTTP/1.0 200 OK\r\n\r\nIR_set:1\r\n"));
    for (const char* off : {"IR_set:0", "IR_set: 1", "IR_set:", "", "IR_SET:1"}) EXPECT_FALSE(ParseIrFlag(off)) << off;
    EXPECT_FALSE(ParseIrFlag(ReplyText("IR_set:\0001", 10)));  // the reply ends at its first zero
}

TEST(SettingsReply, RequestPaths) {
    std::string path;
    ASSERT_TRUE(FormatSettingPath("imagectrl", "Brne", 4, path));
    EXPECT_EQ(path, "/imagectrl.cgi?Brne=4");
    ASSERT_TRUE(FormatSettingPath("DVRctrl", "PathD", "c:\\QERN\\REC\\", path));
    EXPECT_EQ(path, "/DVRctrl.cgi?PathD=c:\\QERN\\REC\\");
    // "/DVRctrl.cgi?PathD=" is 19 bytes: a folder of 236 fits, 237 does not.
    EXPECT_TRUE(FormatSettingPath("DVRctrl", "PathD", std::string(236, 'f'), path));
    EXPECT_FALSE(FormatSettingPath("DVRctrl", "PathD", std::string(237, 'f'), path));
    EXPECT_TRUE(path.empty());
    for (const char* bad : {"c:\\a b", "x\r\nHost: y", "x\n"})
        EXPECT_FALSE(FormatSettingPath("DVRctrl", "PathD", bad, path)) << bad;
}

}  // namespace

}  // namespace qern
