#include <gtest/gtest.h>

#include <vector>

#include "liveview/pipeline/Watchdog.h"

namespace liveview {
namespace {

struct FakeHost : WatchdogHost {
    void FireViewChange() override { ++repaints; }
    void StartVideoStream() override {
        ++starts;
        state->m_bStreaming = true;
        if (workerPasses) state->m_wd_timeout = LiveViewState::kWatchdogBaseLimit;
    }
    bool HasCameraAddress() override { return haveAddress; }
    bool AdoptPageAddress() override {
        ++pageLookups;
        if (pageKnown) haveAddress = true;
        return pageKnown;
    }
    void KillWatchdogTimer() override { ++kills; }

    LiveViewState* state = nullptr;
    bool haveAddress = true;
    bool pageKnown = false;
    bool workerPasses = false;
    int repaints = 0, starts = 0, pageLookups = 0, kills = 0;
};

TEST(Watchdog, APassingWorkerKeepsTheCountLow) {
    LiveViewState s;
    FakeHost h;
    h.state = &s;
    for (int i = 0; i < 100; ++i) {
        s.m_watchdog = 0;  // the worker's pass
        EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Counted);
        EXPECT_LE(s.m_watchdog.load(), 1);
    }
    EXPECT_EQ(h.repaints, 0);
    EXPECT_EQ(h.starts, 0);
}

TEST(Watchdog, StalledWorkerRepaintsThenRestartsOnTheSixteenthTick) {
    LiveViewState s;
    FakeHost h;
    h.state = &s;
    EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Counted);
    for (int tick = 2; tick <= 15; ++tick) EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Repainted);
    EXPECT_EQ(h.repaints, 14);
    EXPECT_EQ(h.starts, 0);
    EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Restarted);
    EXPECT_EQ(h.starts, 1);
    EXPECT_EQ(s.m_wd_timeout.load(), 20);
    EXPECT_EQ(s.m_watchdog.load(), 0);
    // The next restart needs 21 ticks.
    for (int tick = 1; tick <= 20; ++tick) EXPECT_NE(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Restarted);
    EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Restarted);
    EXPECT_EQ(s.m_wd_timeout.load(), 25);
    EXPECT_EQ(s.stats.watchdogRestarts.load(), 2u);
}

TEST(Watchdog, LimitGrowsByFiveUpToSixty) {
    LiveViewState s;
    FakeHost h;
    h.state = &s;
    std::vector<int32_t> limits;
    std::vector<int> gaps;
    int ticks = 0;
    while (limits.size() < 14) {
        ++ticks;
        if (Watchdog::OnTimer(s, true, h) == WatchdogOutcome::Restarted) {
            limits.push_back(s.m_wd_timeout);
            gaps.push_back(ticks);
            ticks = 0;
        }
    }
    const std::vector<int32_t> expected = {20, 25, 30, 35, 40, 45, 50, 55, 60, 60, 60, 60, 60, 60};
    EXPECT_EQ(limits, expected);
    EXPECT_EQ(gaps[0], 16);
    EXPECT_EQ(gaps[9], 61);
    EXPECT_EQ(gaps[13], 61);
}

TEST(Watchdog, AWorkerThatPassesResetsTheLimit) {
    LiveViewState s;
    FakeHost h;
    h.state = &s;
    h.workerPasses = true;  // the new worker's first pass runs before the tick grows the limit
    for (int i = 0; i < 16; ++i) Watchdog::OnTimer(s, true, h);
    EXPECT_EQ(h.starts, 1);
    EXPECT_EQ(s.m_wd_timeout.load(), 20);
    s.m_wd_timeout = LiveViewState::kWatchdogBaseLimit;  // and its later passes
    for (int i = 0; i < 16; ++i) Watchdog::OnTimer(s, true, h);
    EXPECT_EQ(h.starts, 2);
    EXPECT_EQ(s.m_wd_timeout.load(), 20);
}

TEST(Watchdog, StoppedStreamRestartsOnlyWithReconnect) {
    LiveViewState s;
    FakeHost h;
    h.state = &s;
    s.m_bStreaming = false;
    s.m_watchdog = 9;
    EXPECT_EQ(Watchdog::OnTimer(s, false, h), WatchdogOutcome::Idle);
    EXPECT_EQ(h.starts, 0);
    EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Reconnected);
    EXPECT_EQ(h.starts, 1);
    EXPECT_EQ(s.m_watchdog.load(), 0);
    EXPECT_EQ(s.stats.reconnects.load(), 1u);
    EXPECT_EQ(h.pageLookups, 0);
}

TEST(Watchdog, MissingAddressComesFromThePageOrTheTicksEnd) {
    LiveViewState s;
    FakeHost h;
    h.state = &s;
    s.m_bStreaming = false;
    h.haveAddress = false;
    h.pageKnown = true;
    EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::PageReconnected);
    EXPECT_EQ(h.starts, 1);
    s.m_bStreaming = false;
    h.haveAddress = false;
    h.pageKnown = false;
    EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::TimerKilled);
    EXPECT_EQ(h.kills, 1);
    EXPECT_EQ(h.starts, 1);
}

}  // namespace
}  // namespace liveview

namespace liveview {
namespace {

TEST(WatchdogPeriod, OneSecondUnlessTheEnvironmentAsksForAnotherInRange) {
    EXPECT_EQ(Watchdog::PeriodMs(nullptr), 1000u);
    EXPECT_EQ(Watchdog::PeriodMs(""), 1000u);
    EXPECT_EQ(Watchdog::PeriodMs("50"), 50u);
    EXPECT_EQ(Watchdog::PeriodMs("3"), 10u);
    EXPECT_EQ(Watchdog::PeriodMs("-20"), 10u);
    EXPECT_EQ(Watchdog::PeriodMs("99999999999"), 60000u);
    EXPECT_EQ(Watchdog::PeriodMs("25ms"), 1000u);
    EXPECT_EQ(Watchdog::PeriodMs("abc"), 1000u);
}

}  // namespace
}  // namespace liveview
