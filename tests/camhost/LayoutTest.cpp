// The page layout: a grid of views without overlaps, places given by the page, and a window that
// holds them all.
#include <gtest/gtest.h>

#include "tools/camhost/Layout.h"

using namespace camhost;

namespace {

ControlSpec Spec(const std::string& progId) {
    ControlSpec s;
    s.progId = progId;
    return s;
}

std::vector<int> Box(const Rect& r) { return {r.x, r.y, r.width, r.height}; }

// No two controls overlap and the window holds them all.
void ExpectApartAndInside(const PageLayout& page) {
    for (size_t i = 0; i < page.rects.size(); ++i) {
        const Rect& a = page.rects[i];
        EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.width <= page.clientWidth && a.y + a.height <= page.clientHeight);
        for (size_t j = i + 1; j < page.rects.size(); ++j) {
            const Rect& b = page.rects[j];
            EXPECT_FALSE(a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height)
                << i << " and " << j;
        }
    }
}

}  // namespace

TEST(Layout, KindsFollowTheProgIdsOfBothVersions) {
    const std::pair<const char*, ControlKind> cases[] = {
        {"QERN.CamImage", ControlKind::LiveView},          {"QERN.CamImage.1", ControlKind::LiveView},
        {"qern.camimage", ControlKind::LiveView},          {"QERNCamControl.CImgCtrl.1", ControlKind::SettingsPanel},
        {"QERNCamControl.CRec", ControlKind::RecordStrip}, {"QERN.CamImageX", ControlKind::Other},
        {"QERN.CamImage.x", ControlKind::Other},           {"QERN.CamImage.", ControlKind::Other},
        {"Some.Other", ControlKind::Other}};
    for (const auto& c : cases) EXPECT_EQ(KindOfProgId(c.first), c.second) << c.first;
}

// The camera's page (view, panel beside, strip below) is checked on camhost's own window.
TEST(Layout, GridOfNineViewsInThreeColumnsWithoutOverlap) {
    std::vector<ControlSpec> specs = {Spec("QERN.CamImage"), Spec("QERNCamControl.CRec")};
    specs[0].params.emplace_back("URL", "http://127.0.0.1:8080/video.cgi");
    ASSERT_TRUE(ExpandGrid(specs, 9));
    ASSERT_EQ(specs.size(), 10u);
    // The copies follow the last view and keep its PARAMs; the strip stays last.
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(specs[i].progId == "QERN.CamImage" && specs[i].params.size() == 1) << i;
    EXPECT_EQ(specs[9].progId, "QERNCamControl.CRec");
    PageLayout page = LayOut(specs, 0, 0);
    EXPECT_EQ(Box(page.rects[0]), (std::vector<int>{10, 10, 320, 240}));
    EXPECT_EQ(Box(page.rects[5]), (std::vector<int>{670, 260, 320, 240}));
    EXPECT_EQ(Box(page.rects[7]), (std::vector<int>{340, 510, 320, 240}));
    EXPECT_EQ(page.rects[9].y, 760);
    ExpectApartAndInside(page);
    EXPECT_EQ(Box(LayOut(specs, 200, 150).rects[4]), (std::vector<int>{220, 170, 200, 150}));
}

TEST(Layout, GridNeedsAViewAndKeepsExtraViewsAndFixedPlaces) {
    std::vector<ControlSpec> none = {Spec("QERNCamControl.CRec")};
    EXPECT_FALSE(ExpandGrid(none, 4));
    EXPECT_TRUE(ExpandGrid(none, 0));
    std::vector<ControlSpec> five(5, Spec("QERN.CamImage"));
    ASSERT_TRUE(ExpandGrid(five, 2));
    EXPECT_EQ(five.size(), 5u);  // already more than asked

    std::vector<ControlSpec> fixed = {Spec("QERN.CamImage"), Spec("Some.Other")};
    fixed[0].hasRect = true;
    fixed[0].rect = Rect{100, 200, 176, 144};
    PageLayout page = LayOut(fixed, 0, 0);
    EXPECT_EQ(Box(page.rects[0]), (std::vector<int>{100, 200, 176, 144}));
    EXPECT_EQ(Box(page.rects[1]), (std::vector<int>{kMargin, 200 + 144 + kMargin, kOtherWidth, kOtherHeight}));
    ExpectApartAndInside(page);
    fixed[0].rect = Rect{700, 0, 100, 100};  // out of the way: the layout stays as it is
    EXPECT_EQ(LayOut(fixed, 0, 0).rects[1].y, kMargin);
}
