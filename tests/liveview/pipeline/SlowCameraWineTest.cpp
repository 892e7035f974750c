// A camera that answers each request only 5 s after it came (camsim --answer-after 5): the live
// view waits for the answer to its one request instead of asking again.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/harness/CamsimEnvironment.h"
#include "tests/liveview/pipeline/CameraViewHost.h"

namespace liveview {
namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(CameraSlowAnswer, FramesComeOnTheOneRequestAfterFiveSeconds) {
    const char* camera = std::getenv("QERN_LV_CAMERA");
    if (!camera || std::string(camera) != "slow" || test::CamsimPort() == 0) GTEST_SKIP() << "needs camsim slow";
    test::CameraViewHost view(320, 240, test::CamsimPort());
    const DWORD start = GetTickCount();
    view.Start();
    ASSERT_TRUE(view.WaitPainted(3, 30000));
    const DWORD elapsed = GetTickCount() - start;
    std::printf("first frames painted %lu ms after the start\n", static_cast<unsigned long>(elapsed));
    EXPECT_GE(elapsed, 4900u);
    EXPECT_EQ(view.state.stats.streamsOpened.load(), 1u);
    const std::string log = qern::test::CamsimRequestLog();
    EXPECT_EQ(Count(log, " GET /video.cgi"), 1u) << log;
    EXPECT_TRUE(view.Stop());
}

}  // namespace
}  // namespace liveview
