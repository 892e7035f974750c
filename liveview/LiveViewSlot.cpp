#include "liveview/LiveViewSlot.h"

#include <algorithm>
#include <chrono>

LiveViewSlot::Hold& LiveViewSlot::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        reset();
        std::swap(slot_, other.slot_);
        std::swap(view_, other.view_);
        std::swap(serial_, other.serial_);
    }
    return *this;
}

void LiveViewSlot::Hold::reset() {
    if (slot_ && view_) slot_->Drop(view_);
    slot_ = nullptr;
    view_ = nullptr;
    serial_ = 0;
}

void LiveViewSlot::Set(CCamImage* view) {
    std::lock_guard<std::mutex> guard(lock_);
    current_ = view;
    ++serial_;
}

LiveViewSlot::Hold LiveViewSlot::Acquire() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!current_) return Hold();
    auto it = std::find_if(holds_.begin(), holds_.end(), [&](const auto& h) { return h.first == current_; });
    if (it == holds_.end())
        holds_.emplace_back(current_, 1);
    else
        ++it->second;
    return Hold(this, current_, serial_);
}

void LiveViewSlot::Drop(CCamImage* view) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = std::find_if(holds_.begin(), holds_.end(), [&](const auto& h) { return h.first == view; });
        if (it == holds_.end()) return;
        if (--it->second > 0) return;
        holds_.erase(it);
    }
    dropped_.notify_all();
}

bool LiveViewSlot::Release(CCamImage* view, uint32_t waitMs, const std::function<void()>& idle) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::unique_lock<std::mutex> guard(lock_);
    if (current_ == view) current_ = nullptr;
    const auto unheld = [&] {
        return std::none_of(holds_.begin(), holds_.end(), [&](const auto& h) { return h.first == view; });
    };
    while (!unheld()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return false;
        dropped_.wait_for(guard, std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(10)));
        if (unheld() || !idle) continue;
        // A holder may be waiting for the idle work (a message sent to this thread's window).
        guard.unlock();
        idle();
        guard.lock();
    }
    return true;
}

CCamImage* LiveViewSlot::Peek() const {
    std::lock_guard<std::mutex> guard(lock_);
    return current_;
}
