// The command line: PARAMs and places belong to the control before them, screenshot times to the
// screenshot before them, and bad values are refused with a message naming the option.
#include <gtest/gtest.h>

#include <tuple>

#include "tools/camhost/HostOptions.h"

using namespace camhost;

namespace {

bool Parse(std::vector<std::string> args, HostOptions& out, std::string* error = nullptr) {
    std::string e;
    bool ok = ParseHostOptions(args, out, e);
    if (error) *error = e;
    return ok;
}

}  // namespace

TEST(HostOptions, ParamsAndPlacesGoToTheControlBeforeThem) {
    HostOptions o;
    ASSERT_TRUE(Parse({"--control", "QERN.CamImage", "--param", "URL=http://127.0.0.1:8080/video.cgi?a=b",
                       "--param", "Uname=admin", "--param", "Pword=", "--control", "QERNCamControl.CRec", "--rect",
                       "5,-6,435,55", "--page-url", "http://127.0.0.1:8080/index.html", "--seconds", "2.5"},
                      o));
    ASSERT_EQ(o.controls.size(), 2u);
    EXPECT_EQ(o.controls[0].progId, "QERN.CamImage");
    ASSERT_EQ(o.controls[0].params.size(), 3u);
    // Only the first '=' separates: the value keeps its own.
    EXPECT_EQ(o.controls[0].params[0].second, "http://127.0.0.1:8080/video.cgi?a=b");
    EXPECT_EQ(o.controls[0].params[1].first, "Uname");
    EXPECT_EQ(o.controls[0].params[2].second, "");  // an empty password is a value
    EXPECT_FALSE(o.controls[0].hasRect);
    EXPECT_TRUE(o.controls[1].params.empty());
    ASSERT_TRUE(o.controls[1].hasRect);
    EXPECT_EQ(o.controls[1].rect.x, 5);
    EXPECT_EQ(o.controls[1].rect.y, -6);
    EXPECT_EQ(o.controls[1].rect.width, 435);
    EXPECT_EQ(o.controls[1].rect.height, 55);
    EXPECT_EQ(o.pageUrl, "http://127.0.0.1:8080/index.html");
    EXPECT_DOUBLE_EQ(o.seconds, 2.5);
    EXPECT_EQ(o.frameHook, -1);
}

TEST(HostOptions, ScreenshotTimesBelongToTheScreenshotBeforeThem) {
    HostOptions o;
    ASSERT_TRUE(Parse({"--control", "X.Y", "--screenshot", "a.bmp", "--after", "3", "--screenshot", "b.bmp",
                       "--screenshot", "c.bmp", "--after", "1", "--every", "0.5"},
                      o));
    ASSERT_EQ(o.screenshots.size(), 3u);
    EXPECT_DOUBLE_EQ(o.screenshots[0].after, 3);
    EXPECT_DOUBLE_EQ(o.screenshots[0].every, 0);
    EXPECT_LT(o.screenshots[1].after, 0);  // when leaving
    EXPECT_DOUBLE_EQ(o.screenshots[2].after, 1);
    EXPECT_DOUBLE_EQ(o.screenshots[2].every, 0.5);
}

TEST(HostOptions, RefusesBadCommandLinesWithTheOptionNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{}, "no --control"},
        {{"--param", "URL=x", "--control", "A.B"}, "--param comes after a --control"},
        {{"--control", "A.B", "--param", "novalue"}, "NAME=VALUE"},
        {{"--control", "A.B", "--param", "=x"}, "NAME=VALUE"},
        {{"--control", "A.B", "--rect", "1,2,0,4"}, "--rect"},
        {{"--control", "A.B", "--rect", "1,2,3"}, "--rect"},
        {{"--control", "A.B", "--rect", "1,2,3,4,5"}, "--rect"},
        {{"--control", "A.B", "--seconds", "-1"}, "--seconds"},
        {{"--control", "A.B", "--seconds", "2x"}, "--seconds"},
        {{"--control", "A.B", "--after", "1"}, "--after comes after a --screenshot"},
        {{"--control", "A.B", "--screenshot", "a.bmp", "--every", "1"}, "--every needs an --after"},
        {{"--control", "A.B", "--screenshot", "a.bmp", "--after", "0", "--every", "0"}, "--every"},
        {{"--control", "A.B", "--grid", "0"}, "--grid"},
        {{"--control", "A.B", "--cell", "320"}, "--cell"},
        {{"--control", "A.B", "--frame-hook", "yes"}, "--frame-hook"},
        {{"--control", "A.B", "--seconds"}, "--seconds needs a value"},
        {{"--control", "A.B", "--bogus", "1"}, "unknown option --bogus"},
        {{"--control", ""}, "ProgID"},
    };
    for (const Case& c : cases) {
        HostOptions o;
        std::string error;
        EXPECT_FALSE(Parse(c.args, o, &error)) << c.mentions;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << "message: " << error;
    }
}

TEST(HostOptions, HelpNeedsNoControlAndGridTakesItsCell) {
    HostOptions o;
    ASSERT_TRUE(Parse({"--help"}, o));
    EXPECT_TRUE(o.help);
    ASSERT_TRUE(Parse({"--control", "QERN.CamImage", "--grid", "9", "--cell", "200x150", "--frame-hook", "off"}, o));
    EXPECT_EQ(o.grid, 9);
    EXPECT_EQ(o.cellWidth, 200);
    EXPECT_EQ(o.cellHeight, 150);
    EXPECT_EQ(o.frameHook, 0);
    EXPECT_NE(std::string(HostUsage()).find("--page-url"), std::string::npos);
}

TEST(HostOptions, UserActionsBelongToTheControlBeforeThem) {
    HostOptions o;
    ASSERT_TRUE(Parse({"--control", "A.B", "--act", "6:click:202", "--act", "12.5:drag:204:0.3:1"}, o));
    ASSERT_EQ(o.controls[0].actions.size(), 2u);
    const UserAction& click = o.controls[0].actions[0];
    const UserAction& drag = o.controls[0].actions[1];
    EXPECT_EQ(std::make_tuple(click.at, click.drag, click.controlId), std::make_tuple(6.0, false, 202));
    EXPECT_EQ(std::make_tuple(drag.at, drag.drag, drag.controlId, drag.from, drag.to),
              std::make_tuple(12.5, true, 204, 0.3, 1.0));
    for (const char* bad : {"6:click", "6:click:0", "6:click:2.5", "x:click:1", "6:drag:204:0.3", "6:drag:204:0:1.5",
                            "6:press:202", "6:click:202:1"}) {
        std::string error;
        EXPECT_FALSE(Parse({"--control", "A.B", "--act", bad}, o, &error)) << bad;
        EXPECT_NE(error.find("--act"), std::string::npos) << bad;
    }
    EXPECT_FALSE(Parse({"--act", "6:click:202"}, o));  // no control yet
}
