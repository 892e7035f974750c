#include "audio/AudioSampleQueue.h"

#include <algorithm>
#include <cstring>

// A second is asked for up to 0.5 s before it plays, so its newest sample must have come
// 1.5 s before its turn; 0.25 s more absorbs a camera or a reader that is late.
AudioSampleQueue::AudioSampleQueue(uint32_t perSecond)
    : perSecond_(perSecond),
      delay_(perSecond * 7 / 4),
      maxBacklog_(perSecond),
      capacity_(perSecond * 3),
      ring_(size_t(perSecond) * 3 * 2) {}

void AudioSampleQueue::Push(const uint8_t* samples, size_t count) {
    std::lock_guard<std::mutex> guard(lock_);
    counters_.received += count;
    if (count >= capacity_) {
        samples += (count - capacity_) * 2;
        counters_.dropped += count - capacity_;
        pushed_ += count - capacity_;
        consumed_ += count - capacity_;
        Drop(count_);
        count = capacity_;
    }
    const uint32_t n = uint32_t(count);
    if (count_ + n > capacity_) Drop(count_ + n - capacity_);
    pushed_ += n;
    uint32_t tail = (head_ + count_) % capacity_;
    const uint32_t first = std::min(n, capacity_ - tail);
    std::memcpy(ring_.data() + size_t(tail) * 2, samples, size_t(first) * 2);
    std::memcpy(ring_.data(), samples + size_t(first) * 2, size_t(n - first) * 2);
    count_ += n;
}

void AudioSampleQueue::Drop(uint32_t count) {
    count = std::min(count, count_);
    head_ = (head_ + count) % capacity_;
    count_ -= count;
    consumed_ += count;
    counters_.dropped += count;
}

void AudioSampleQueue::CopyOut(uint8_t* out, uint32_t count) {
    const uint32_t first = std::min(count, capacity_ - head_);
    std::memcpy(out, ring_.data() + size_t(head_) * 2, size_t(first) * 2);
    std::memcpy(out + size_t(first) * 2, ring_.data(), size_t(count - first) * 2);
    head_ = (head_ + count) % capacity_;
    count_ -= count;
    consumed_ += count;
    counters_.played += count;
}

uint32_t AudioSampleQueue::Resume(uint8_t* out, uint32_t from, uint32_t wanted, int32_t lead) {
    // The oldest sample came count_ samples ago; at offset z of this second it plays after
    // count_ + lead + z. Choose z for the fixed delay, skipping the oldest if they are late.
    // A second asked for late has begun: what goes before -lead is never heard.
    const int64_t z = int64_t(delay_) - lead - count_;
    const int64_t live = std::max<int64_t>(from, -int64_t(lead));
    if (count_ == 0 || z >= int64_t(wanted)) return from;
    // Late by a little (the estimate of the age is rough at a connection's start): start at
    // once, a little behind; by more: skip the oldest.
    if (z < live - int64_t(perSecond_ / 4)) Drop(uint32_t(live - z - perSecond_ / 4));
    const uint32_t start = uint32_t(std::min<int64_t>(std::max<int64_t>(z, live), wanted));
    const uint32_t take = std::min(count_, wanted - start);
    std::memset(out + size_t(from) * 2, 0, size_t(start - from) * 2);
    CopyOut(out + size_t(start) * 2, take);
    dry_ = false;
    return start + take;
}

uint32_t AudioSampleQueue::Fill(uint8_t* out, uint32_t wanted, int32_t leadMs, uint32_t* queued) {
    std::lock_guard<std::mutex> guard(lock_);
    wanted = std::min(wanted, perSecond_);
    const int32_t lead = int32_t(
        std::max<int64_t>(std::min<int64_t>(int64_t(leadMs) * perSecond_ / 1000, delay_), -int64_t(perSecond_)));
    if (queued) *queued = count_;
    ++counters_.refills;
    uint32_t delivered = 0;
    if (!dry_) {
        // What is left of an older connection plays on; the new one starts at its own time.
        const uint32_t older = newStream_ ? uint32_t(std::min<uint64_t>(count_, streamStart_ - std::min(streamStart_, consumed_)))
                                          : count_;
        const uint32_t take = std::min(older, wanted);
        CopyOut(out, take);
        delivered = take;
        if (newStream_ && consumed_ >= streamStart_) {
            newStream_ = false;
            dry_ = true;
        } else if (take < wanted) {
            ++counters_.shortRefills;  // the camera stopped sending
            dry_ = true;
        }
    }
    if (dry_) {
        newStream_ = false;
        const uint32_t before = delivered;
        delivered = Resume(out, delivered, wanted, lead);
        if (delivered == 0) ++counters_.silentRefills;
        // Sound that starts in this second must reach its end, or it breaks again.
        if (delivered > before && delivered < wanted) {
            ++counters_.shortRefills;
            dry_ = true;
        }
    }
    // Far behind the camera (it sent a burst, or sends faster than the sound card plays): skip
    // ahead to the fixed delay. What is left plays once this second has played.
    if (count_ > maxBacklog_) {
        const uint32_t keep = uint32_t(std::max<int64_t>(int64_t(delay_) - lead - wanted, 0));
        if (count_ > keep) Drop(count_ - keep);
    }
    return delivered;
}

void AudioSampleQueue::NewStream() {
    std::lock_guard<std::mutex> guard(lock_);
    streamStart_ = pushed_;
    newStream_ = count_ > 0 && !dry_;
}

uint32_t AudioSampleQueue::Queued() const {
    std::lock_guard<std::mutex> guard(lock_);
    return count_;
}

AudioSampleQueue::Counters AudioSampleQueue::Snapshot() const {
    std::lock_guard<std::mutex> guard(lock_);
    return counters_;
}
