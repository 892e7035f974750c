// The DirectSound player through Wine's DirectSound: its geometry, its failure texts, one timer
// however often Play is called, and the refills that follow the play cursor.
#include <gtest/gtest.h>

#include <atomic>

#include "audio/MyDirectSound.h"

namespace qern {

namespace {

const WAVEFORMATEX kPcm8k{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};

struct Source {
    std::atomic<int> calls{0};
    std::atomic<DWORD> wanted{0}, deliveredOnEntry{1};
    static DWORD Fill(uint8_t* staging, DWORD want, DWORD* delivered, void* user) {
        Source* s = static_cast<Source*>(user);
        s->deliveredOnEntry = *delivered;
        s->wanted = want;
        ++s->calls;
        for (DWORD i = 0; i < 3000 * 2; ++i) staging[i] = 0x11;
        *delivered = 3000;
        return 0;
    }
};

TEST(MyDirectSound, GeometryRefillsAndOneTimer) {
    MyDirectSound player;
    player.SetFormat(kPcm8k);
    ASSERT_EQ(player.LastError(), "");
    EXPECT_EQ(player.BufferBytes(), 32000u);
    EXPECT_EQ(player.NotifyOffset(0), 7999u);
    EXPECT_EQ(player.NotifyOffset(1), 23999u);
    EXPECT_EQ(player.StagingBytes(), 16000u);

    Source source;
    player.SetCallback(&Source::Fill, &source);
    player.Play();
    EXPECT_EQ(source.calls, 1);  // the first half, primed at once
    EXPECT_EQ(source.wanted, 8000u);
    EXPECT_EQ(source.deliveredOnEntry, 0u);  // the player clears the count before asking
    player.Play();                           // a second Play starts no second timer
    EXPECT_TRUE(player.Playing());
    Sleep(3200);
    // Two halves a second, each refilled once: about 3 refills in 3.2 s; 300 ms polls: about 10.
    const uint32_t fills = player.HalfAFills() + player.HalfBFills();
    EXPECT_TRUE(fills >= 2 && fills <= 4) << fills;
    EXPECT_EQ(source.calls, int(1 + fills));
    EXPECT_TRUE(player.Ticks() >= 7 && player.Ticks() <= 13) << player.Ticks();
    EXPECT_TRUE(player.RefillLeadMs() > -1000 && player.RefillLeadMs() < 1000) << player.RefillLeadMs();

    player.Stop();
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.HalfAFills() + player.HalfBFills(), 0u);
    const uint32_t ticks = player.Ticks();
    const int calls = source.calls;
    Sleep(700);
    EXPECT_EQ(player.Ticks(), ticks);
    player.Play();  // after Stop the first half is primed again
    EXPECT_EQ(source.calls, calls + 1);
    EXPECT_EQ(player.LastError(), "");
}

// A format DirectSound refuses keeps its summary, and Play repeats it without playing.
TEST(MyDirectSound, FailureTexts) {
    const WAVEFORMATEX refused{0x7777, 0, 8000, 16000, 0, 16, 0};
    struct Case {
        const WAVEFORMATEX* format;
        bool callback;
        const char* error;
    } cases[] = {
        {nullptr, true, "DirectSound was not created!"},
        {&kPcm8k, false, "Callback Function is NULL!"},
        {&refused, true, "MyDirectSound SetFormat Failed!"},
    };
    for (const Case& c : cases) {
        MyDirectSound player;
        Source source;
        if (c.format) player.SetFormat(*c.format);
        EXPECT_EQ(player.LastError(), c.format == &refused ? c.error : "");
        if (c.callback) player.SetCallback(&Source::Fill, &source);
        player.Play();
        EXPECT_EQ(player.LastError(), c.error);
        EXPECT_EQ(source.calls, 0);
        EXPECT_FALSE(player.Playing());
    }
}

}  // namespace

}  // namespace qern
