// The page layout: a grid of views, places given by the page, and a window that holds them all.
#include <gtest/gtest.h>

#include "tools/camhost/Layout.h"

namespace qern {

using namespace camhost;

namespace {

ControlSpec Spec(const std::string& progId) {
    ControlSpec s;
    s.progId = progId;
    return s;
}

std::vector<int> Box(const Rect& r) { return {r.x, r.y, r.width, r.height}; }

}  // namespace

// The camera's page (view, panel beside, strip below) is checked on camhost's own window. A
// versioned ProgID in any case names the view too.
TEST(Layout, GridOfNineViewsInThreeColumnsWithoutOverlap) {
    std::vector<ControlSpec> specs = {Spec("qern.CamImage.1"), Spec("QERNCamControl.CRec")};
    specs[0].params.emplace_back("URL", "http://127.0.0.1:8080/video.cgi");
    ASSERT_TRUE(ExpandGrid(specs, 9));
    ASSERT_EQ(specs.size(), 10u);
    // The copies follow the last view and keep its PARAMs; the strip stays last.
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(specs[i].progId == "qern.CamImage.1" && specs[i].params.size() == 1) << i;
    EXPECT_EQ(specs[9].progId, "QERNCamControl.CRec");
    PageLayout page = LayOut(specs, 0, 0);
    EXPECT_EQ(Box(page.rects[0]), (std::vector<int>{10, 10, 320, 240}));
    EXPECT_EQ(Box(page.rects[5]), (std::vector<int>{670, 260, 320, 240}));
    EXPECT_EQ(Box(page.rects[7]), (std::vector<int>{340, 510, 320, 240}));
    EXPECT_EQ(page.rects[9].y, 760);
    EXPECT_EQ(std::make_pair(page.clientWidth, page.clientHeight), std::make_pair(1000, 825));
    EXPECT_EQ(Box(LayOut(specs, 200, 150).rects[4]), (std::vector<int>{220, 170, 200, 150}));
}

TEST(Layout, GridNeedsAViewAndKeepsExtraViewsAndFixedPlaces) {
    std::vector<ControlSpec> none = {Spec("QERNCamControl.CRec"), Spec("QERN.CamImage.x"), Spec("QERN.CamImage.")};
    EXPECT_FALSE(ExpandGrid(none, 4));
    EXPECT_TRUE(ExpandGrid(none, 0));
    std::vector<ControlSpec> five(5, Spec("QERN.CamImage"));
    ASSERT_TRUE(ExpandGrid(five, 2));
    EXPECT_EQ(five.size(), 5u);  // already more than asked

    std::vector<ControlSpec> fixed = {Spec("QERN.CamImage"), Spec("QERN.CamImageX")};  // the second is no view
    fixed[0].hasRect = true;
    fixed[0].rect = Rect{100, 200, 176, 144};
    PageLayout page = LayOut(fixed, 0, 0);
    EXPECT_EQ(Box(page.rects[0]), (std::vector<int>{100, 200, 176, 144}));
    EXPECT_EQ(Box(page.rects[1]), (std::vector<int>{10, 354, 320, 240}));
    fixed[0].rect = Rect{700, 0, 100, 100};  // out of the way: the layout stays as it is
    EXPECT_EQ(LayOut(fixed, 0, 0).rects[1].y, kMargin);
}

}  // namespace qern
