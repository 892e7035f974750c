#include "audio/AudioSampleQueue.h"

#include <algorithm>
#include <cstring>

namespace qern {

// A second is asked for up to 0.5 s before it plays, so its newest sample must have come
// 1.5 s before its turn; 0.25 s more absorbs a camera or a reader that is late.
AudioSampleQueue::AudioSampleQueue(uint32_t perSecond)
    : m_perSecond(perSecond),
      m_delay(perSecond * 7 / 4),
      m_maxBacklog(perSecond),
      m_capacity(perSecond * 3),
      m_ring(size_t(perSecond) * 3 * 2) {}

void AudioSampleQueue::Push(const uint8_t* samples, size_t count) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_counters.received += count;
    if (count >= m_capacity) {
        samples += (count - m_capacity) * 2;
        m_counters.dropped += count - m_capacity;
        m_pushed += count - m_capacity;
        m_consumed += count - m_capacity;
        Drop(m_count);
        count = m_capacity;
    }
    const uint32_t n = uint32_t(count);
    if (m_count + n > m_capacity) Drop(m_count + n - m_capacity);
    m_pushed += n;
    uint32_t tail = (m_head + m_count) % m_capacity;
    const uint32_t first = std::min(n, m_capacity - tail);
    std::memcpy(m_ring.data() + size_t(tail) * 2, samples, size_t(first) * 2);
    std::memcpy(m_ring.data(), samples + size_t(first) * 2, size_t(n - first) * 2);
    m_count += n;
}

void AudioSampleQueue::Drop(uint32_t count) {
    count = std::min(count, m_count);
    m_head = (m_head + count) % m_capacity;
    m_count -= count;
    m_consumed += count;
    m_counters.dropped += count;
}

void AudioSampleQueue::CopyOut(uint8_t* out, uint32_t count) {
    const uint32_t first = std::min(count, m_capacity - m_head);
    std::memcpy(out, m_ring.data() + size_t(m_head) * 2, size_t(first) * 2);
    std::memcpy(out + size_t(first) * 2, m_ring.data(), size_t(count - first) * 2);
    m_head = (m_head + count) % m_capacity;
    m_count -= count;
    m_consumed += count;
    m_counters.played += count;
}

uint32_t AudioSampleQueue::Resume(uint8_t* out, uint32_t from, uint32_t wanted, int32_t lead) {
    // The oldest sample came m_count samples ago; at offset z of this second it plays after
    // m_count + lead + z. Choose z for the fixed delay, skipping the oldest if they are late.
    // A second asked for late has begun: what goes before -lead is never heard.
    const int64_t z = int64_t(m_delay) - lead - m_count;
    const int64_t live = std::max<int64_t>(from, -int64_t(lead));
    if (m_count == 0 || z >= int64_t(wanted)) return from;
    // Late by a little (the estimate of the age is rough at a connection's start): start at
    // once, a little behind; by more: skip the oldest.
    if (z < live - int64_t(m_perSecond / 4)) Drop(uint32_t(live - z - m_perSecond / 4));
    const uint32_t start = uint32_t(std::min<int64_t>(std::max<int64_t>(z, live), wanted));
    const uint32_t take = std::min(m_count, wanted - start);
    std::memset(out + size_t(from) * 2, 0, size_t(start - from) * 2);
    CopyOut(out + size_t(start) * 2, take);
    m_dry = false;
    return start + take;
}

uint32_t AudioSampleQueue::Fill(uint8_t* out, uint32_t wanted, int32_t leadMs, uint32_t* queued) {
    std::lock_guard<std::mutex> guard(m_lock);
    wanted = std::min(wanted, m_perSecond);
    const int32_t lead = int32_t(
        std::max<int64_t>(std::min<int64_t>(int64_t(leadMs) * m_perSecond / 1000, m_delay), -int64_t(m_perSecond)));
    if (queued) *queued = m_count;
    ++m_counters.refills;
    uint32_t delivered = 0;
    if (!m_dry) {
        // What is left of an older connection plays on; the new one starts at its own time.
        const uint32_t older =
            m_newStream ? uint32_t(std::min<uint64_t>(m_count, m_streamStart - std::min(m_streamStart, m_consumed)))
                        : m_count;
        const uint32_t take = std::min(older, wanted);
        CopyOut(out, take);
        delivered = take;
        if (m_newStream && m_consumed >= m_streamStart) {
            m_newStream = false;
            m_dry = true;
        } else if (take < wanted) {
            ++m_counters.shortRefills;  // the camera stopped sending
            m_dry = true;
        }
    }
    if (m_dry) {
        m_newStream = false;
        const uint32_t before = delivered;
        delivered = Resume(out, delivered, wanted, lead);
        if (delivered == 0) ++m_counters.silentRefills;
        // Sound that starts in this second must reach its end, or it breaks again.
        if (delivered > before && delivered < wanted) {
            ++m_counters.shortRefills;
            m_dry = true;
        }
    }
    // Far behind the camera (it sent a burst, or sends faster than the sound card plays): skip
    // ahead to the fixed delay. What is left plays once this second has played.
    if (m_count > m_maxBacklog) {
        const uint32_t keep = uint32_t(std::max<int64_t>(int64_t(m_delay) - lead - wanted, 0));
        if (m_count > keep) Drop(m_count - keep);
    }
    return delivered;
}

void AudioSampleQueue::NewStream() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_streamStart = m_pushed;
    m_newStream = m_count > 0 && !m_dry;
}

uint32_t AudioSampleQueue::Queued() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_count;
}

AudioSampleQueue::Counters AudioSampleQueue::Snapshot() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_counters;
}

}  // namespace qern
