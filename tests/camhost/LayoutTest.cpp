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

bool Overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

void ExpectInside(const PageLayout& page) {
    for (const Rect& r : page.rects) {
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.x + r.width, page.clientWidth);
        EXPECT_LE(r.y + r.height, page.clientHeight);
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
    std::vector<ControlSpec> specs = {Spec("QERN.CamImage")};
    specs[0].params.emplace_back("URL", "http://127.0.0.1:8080/video.cgi");
    specs.push_back(Spec("QERNCamControl.CRec"));
    ASSERT_TRUE(ExpandGrid(specs, 9));
    ASSERT_EQ(specs.size(), 10u);
    // The copies follow the last view and keep its PARAMs; the strip stays last.
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(specs[i].progId, "QERN.CamImage");
        ASSERT_EQ(specs[i].params.size(), 1u);
    }
    EXPECT_EQ(specs[9].progId, "QERNCamControl.CRec");

    PageLayout page = LayOut(specs, 0, 0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(page.rects[i].width, kGridCellWidth);
        EXPECT_EQ(page.rects[i].x, kMargin + (i % 3) * (kGridCellWidth + kMargin));
        EXPECT_EQ(page.rects[i].y, kMargin + (i / 3) * (kGridCellHeight + kMargin));
    }
    for (size_t a = 0; a < page.rects.size(); ++a)
        for (size_t b = a + 1; b < page.rects.size(); ++b)
            EXPECT_FALSE(Overlap(page.rects[a], page.rects[b])) << a << " and " << b;
    EXPECT_EQ(page.rects[9].y, kMargin + 3 * (kGridCellHeight + kMargin));
    ExpectInside(page);

    PageLayout sized = LayOut(specs, 200, 150);
    EXPECT_EQ(sized.rects[4].x, kMargin + 210);
    EXPECT_EQ(sized.rects[4].height, 150);
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
    EXPECT_EQ(page.rects[0].x, 100);
    EXPECT_EQ(page.rects[0].width, 176);
    EXPECT_EQ(page.rects[1].x, kMargin);
    EXPECT_EQ(page.rects[1].width, kOtherWidth);
    EXPECT_FALSE(Overlap(page.rects[0], page.rects[1]));  // moved below the placed view
    EXPECT_EQ(page.rects[1].y, 200 + 144 + kMargin);
    ExpectInside(page);

    fixed[0].rect = Rect{700, 0, 100, 100};  // out of the way: the layout stays as it is
    page = LayOut(fixed, 0, 0);
    EXPECT_EQ(page.rects[1].y, kMargin);
}
