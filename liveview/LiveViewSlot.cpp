#include "liveview/LiveViewSlot.h"

#include <algorithm>
#include <chrono>

namespace qern {

LiveViewSlot::Hold& LiveViewSlot::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        reset();
        std::swap(m_slot, other.m_slot);
        std::swap(m_view, other.m_view);
        std::swap(m_serial, other.m_serial);
    }
    return *this;
}

void LiveViewSlot::Hold::reset() {
    if (m_slot && m_view) m_slot->Drop(m_view);
    m_slot = nullptr;
    m_view = nullptr;
    m_serial = 0;
}

void LiveViewSlot::Set(CCamImage* view) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_current = view;
    ++m_serial;
}

LiveViewSlot::Hold LiveViewSlot::Acquire() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_current) return Hold();
    auto it = std::find_if(m_holds.begin(), m_holds.end(), [&](const auto& h) { return h.first == m_current; });
    if (it == m_holds.end())
        m_holds.emplace_back(m_current, 1);
    else
        ++it->second;
    return Hold(this, m_current, m_serial);
}

void LiveViewSlot::Drop(CCamImage* view) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = std::find_if(m_holds.begin(), m_holds.end(), [&](const auto& h) { return h.first == view; });
        if (it == m_holds.end()) return;
        if (--it->second > 0) return;
        m_holds.erase(it);
    }
    m_dropped.notify_all();
}

bool LiveViewSlot::Release(CCamImage* view, uint32_t waitMs, const std::function<void()>& idle) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::unique_lock<std::mutex> guard(m_lock);
    if (m_current == view) m_current = nullptr;
    const auto unheld = [&] {
        return std::none_of(m_holds.begin(), m_holds.end(), [&](const auto& h) { return h.first == view; });
    };
    while (!unheld()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return false;
        m_dropped.wait_for(guard, std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(10)));
        if (unheld() || !idle) continue;
        // A holder may be waiting for the idle work (a message sent to this thread's window).
        guard.unlock();
        idle();
        guard.lock();
    }
    return true;
}

CCamImage* LiveViewSlot::Peek() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_current;
}

}  // namespace qern
