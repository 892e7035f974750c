#pragma once
// The samples received from the camera and not yet played. The connection's reader adds them
// as they come; the player takes one second at a time. The queue keeps playback whole and its
// delay steady: it starts (and starts again after running dry) only with a cushion in hand,
// silences only what the camera did not send, and drops the oldest samples when it falls more
// than a second behind.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class AudioSampleQueue {
public:
    struct Counters {
        uint64_t received = 0;      // samples added
        uint64_t played = 0;        // camera samples handed to the player
        uint64_t dropped = 0;       // samples thrown away to stay close to the camera
        uint32_t refills = 0;       // seconds asked for
        uint32_t silentRefills = 0; // seconds without any camera sample (waiting for a cushion)
        uint32_t shortRefills = 0;  // seconds that ran out part-way: a gap in the sound
    };

    // perSecond: samples the player asks for at a time (one second of sound).
    explicit AudioSampleQueue(uint32_t perSecond);

    // Adds count 16-bit little-endian samples (2 bytes each).
    void Push(const uint8_t* samples, size_t count);
    // Writes the next second to out (perSecond samples of room) and returns how many samples it
    // wrote; the player silences the rest. *queued (if given) receives the samples that were
    // waiting before this call.
    uint32_t Fill(uint8_t* out, uint32_t wanted, uint32_t* queued = nullptr);
    // Forgets the queued samples; the next second starts with a cushion again.
    void Clear();

    uint32_t Queued() const;
    Counters Snapshot() const;

    uint32_t Cushion() const { return cushion_; }
    uint32_t MaxBacklog() const { return maxBacklog_; }
    uint32_t Capacity() const { return capacity_; }

private:
    void Drop(uint32_t count);
    void CopyOut(uint8_t* out, uint32_t count);

    const uint32_t perSecond_;
    const uint32_t cushion_;     // kept back when playback (re)starts
    const uint32_t maxBacklog_;  // left after a second is taken, at most
    const uint32_t capacity_;
    mutable std::mutex lock_;
    std::vector<uint8_t> ring_;
    uint32_t head_ = 0;  // oldest sample
    uint32_t count_ = 0;
    bool dry_ = true;    // nothing played yet, or the last second ran out
    Counters counters_;
};
