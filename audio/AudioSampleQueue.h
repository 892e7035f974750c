#pragma once
// The samples received from the camera and not yet played. The connection's reader adds them
// as they come; the player takes one second at a time, some time (the lead) before that second
// starts to play. The queue keeps playback whole and its delay steady: it starts (and starts
// again after running dry) so that each sample plays a fixed delay after it came, long enough
// for every later second to be in hand when it is asked for; it silences only what the camera
// did not send, and drops the oldest samples when more than a second is left behind.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qern {

class AudioSampleQueue {
public:
    struct Counters {
        uint64_t received = 0;       // samples added
        uint64_t played = 0;         // camera samples handed to the player
        uint64_t dropped = 0;        // samples thrown away to stay close to the camera
        uint32_t refills = 0;        // seconds asked for
        uint32_t silentRefills = 0;  // seconds without camera sound (before it starts, while it is away)
        uint32_t shortRefills = 0;   // seconds that ran out part-way: a gap in the sound
    };

    // perSecond: samples the player asks for at a time (one second of sound).
    explicit AudioSampleQueue(uint32_t perSecond);

    // Adds count 16-bit little-endian samples (2 bytes each).
    void Push(const uint8_t* samples, size_t count);
    // Writes the second that starts to play leadMs from now (negative: it began already) to out
    // (perSecond samples of room) and returns how many samples it wrote; the player silences the
    // rest. *queued (if given) receives the samples that were waiting before this call.
    uint32_t Fill(uint8_t* out, uint32_t wanted, int32_t leadMs, uint32_t* queued = nullptr);
    // The samples pushed from now on come from a new connection: they follow the queued ones
    // only after the real time between the two, at the fixed delay.
    void NewStream();

    uint32_t Queued() const;
    Counters Snapshot() const;

    // From a sample's arrival to its playing, in samples (at perSecond a second).
    uint32_t Delay() const { return m_delay; }
    uint32_t MaxBacklog() const { return m_maxBacklog; }
    uint32_t Capacity() const { return m_capacity; }

private:
    void Drop(uint32_t count);
    void CopyOut(uint8_t* out, uint32_t count);
    // Starts the queued samples at the fixed delay, from offset `from` of the second on.
    uint32_t Resume(uint8_t* out, uint32_t from, uint32_t wanted, int32_t lead);

    const uint32_t m_perSecond;
    const uint32_t m_delay;
    const uint32_t m_maxBacklog;  // left after a second is taken, at most
    const uint32_t m_capacity;
    mutable std::mutex m_lock;
    std::vector<uint8_t> m_ring;
    uint32_t m_head = 0;  // oldest sample
    uint32_t m_count = 0;
    bool m_dry = true;           // nothing played yet, or the last second ran out
    uint64_t m_pushed = 0;       // samples ever added
    uint64_t m_consumed = 0;     // samples ever played or dropped
    uint64_t m_streamStart = 0;  // m_pushed when the newest connection began
    bool m_newStream = false;    // an older connection's samples are still queued
    Counters m_counters;
};

}  // namespace qern
