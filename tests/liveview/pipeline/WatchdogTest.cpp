// The tick's exact counts; its reconnect and address paths run against camsim.
#include <gtest/gtest.h>

#include <numeric>
#include <utility>
#include <vector>

#include "liveview/pipeline/Watchdog.h"

namespace liveview {
namespace {

struct FakeHost : WatchdogHost {
    explicit FakeHost(LiveViewState& s) : state(s) {}
    void FireViewChange() override { ++repaints; }
    void StartVideoStream() override {
        ++starts;
        if (workerPasses) state.m_wd_timeout = LiveViewState::kWatchdogBaseLimit;
    }
    bool HasCameraAddress() override { return true; }
    bool AdoptPageAddress() override { return false; }
    void KillWatchdogTimer() override {}

    LiveViewState& state;
    bool workerPasses = false;
    int repaints = 0, starts = 0;
};

TEST(Watchdog, RepaintsThenRestartsAfterALimitGrowingToSixtyUnlessTheWorkerPasses) {
    LiveViewState s;
    FakeHost h(s);
    for (int i = 0; i < 100; ++i) {
        s.m_watchdog = 0;  // the worker's pass
        EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Counted);
    }
    EXPECT_EQ(h.repaints + h.starts, 0);
    s.m_watchdog = 0;  // the last pass
    // Stalled: every tick after the first repaints; limits 15, 20, ..., 60.
    std::vector<int> gaps;
    for (int ticks = 1; gaps.size() < 11; ++ticks)
        if (Watchdog::OnTimer(s, true, h) == WatchdogOutcome::Restarted) gaps.push_back(std::exchange(ticks, 0));
    EXPECT_EQ(gaps, (std::vector<int>{16, 21, 26, 31, 36, 41, 46, 51, 56, 61, 61}));
    EXPECT_EQ(h.repaints, std::accumulate(gaps.begin(), gaps.end(), 0) - 11);
    EXPECT_EQ(s.stats.watchdogRestarts.load(), 11u);
    EXPECT_EQ(s.m_watchdog.load(), 0);
    // A new worker that passes its loop before the tick grows the limit brings it back to 20.
    h.workerPasses = true;
    for (int i = 0; i < 61; ++i) Watchdog::OnTimer(s, true, h);
    EXPECT_EQ(h.starts, 12);
    EXPECT_EQ(s.m_wd_timeout.load(), 20);
}

TEST(WatchdogPeriod, OneSecondUnlessTheEnvironmentAsksForAnotherInRange) {
    const struct {
        const char* value;
        uint32_t ms;
    } cases[] = {{nullptr, 1000}, {"", 1000}, {"50", 50}, {"3", 10}, {"-20", 10},
                 {"99999999999", 60000}, {"25ms", 1000}, {"abc", 1000}};
    for (const auto& c : cases) EXPECT_EQ(Watchdog::PeriodMs(c.value), c.ms) << (c.value ? c.value : "null");
}

}  // namespace
}  // namespace liveview
