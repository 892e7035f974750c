#include "audio/AudioSampleQueue.h"

#include <algorithm>
#include <cstring>

// A half of the player is refilled 0.2 to 0.5 s before it plays, so the newest sample of a
// second must have arrived up to 1.5 s before its turn. Starting with 0.4 s in hand keeps
// every later second whole, whenever the refill falls within that window.
AudioSampleQueue::AudioSampleQueue(uint32_t perSecond)
    : perSecond_(perSecond),
      cushion_(perSecond * 2 / 5),
      maxBacklog_(perSecond),
      capacity_(perSecond * 3),
      ring_(size_t(perSecond) * 3 * 2) {}

void AudioSampleQueue::Push(const uint8_t* samples, size_t count) {
    std::lock_guard<std::mutex> guard(lock_);
    counters_.received += count;
    if (count >= capacity_) {
        samples += (count - capacity_) * 2;
        counters_.dropped += count - capacity_;
        Drop(count_);
        count = capacity_;
    }
    const uint32_t n = uint32_t(count);
    if (count_ + n > capacity_) Drop(count_ + n - capacity_);
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
    counters_.dropped += count;
}

void AudioSampleQueue::CopyOut(uint8_t* out, uint32_t count) {
    const uint32_t first = std::min(count, capacity_ - head_);
    std::memcpy(out, ring_.data() + size_t(head_) * 2, size_t(first) * 2);
    std::memcpy(out + size_t(first) * 2, ring_.data(), size_t(count - first) * 2);
    head_ = (head_ + count) % capacity_;
    count_ -= count;
    counters_.played += count;
}

uint32_t AudioSampleQueue::Fill(uint8_t* out, uint32_t wanted, uint32_t* queued) {
    std::lock_guard<std::mutex> guard(lock_);
    wanted = std::min(wanted, perSecond_);
    if (queued) *queued = count_;
    ++counters_.refills;
    uint32_t delivered = 0;
    if (dry_) {
        if (count_ <= cushion_) {
            ++counters_.silentRefills;
            return 0;
        }
        // Resume at the end of this second, so the next one follows on without a break.
        const uint32_t take = std::min(count_ - cushion_, wanted);
        std::memset(out, 0, size_t(wanted - take) * 2);
        CopyOut(out + size_t(wanted - take) * 2, take);
        delivered = wanted;
        dry_ = false;
    } else {
        const uint32_t take = std::min(count_, wanted);
        CopyOut(out, take);
        delivered = take;
        if (take < wanted) {
            ++counters_.shortRefills;
            dry_ = true;
        }
    }
    // Far behind the camera (it sent a burst, or sends faster than the sound card plays):
    // skip ahead to the cushion.
    if (count_ > maxBacklog_) Drop(count_ - cushion_);
    return delivered;
}

void AudioSampleQueue::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    head_ = 0;
    count_ = 0;
    dry_ = true;
}

uint32_t AudioSampleQueue::Queued() const {
    std::lock_guard<std::mutex> guard(lock_);
    return count_;
}

AudioSampleQueue::Counters AudioSampleQueue::Snapshot() const {
    std::lock_guard<std::mutex> guard(lock_);
    return counters_;
}
