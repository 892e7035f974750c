#pragma once
// The current live view, shared by the controls and threads that act on it. A user holds the view
// for as long as it uses it; a view going away leaves the slot and waits until no one holds it.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace qern {

class CCamImage;

class LiveViewSlot {
public:
    // The view held, or none. Hold it only for short work: never across a dialog or a message box,
    // whose message loop may destroy the view on the same thread.
    class Hold {
    public:
        Hold() = default;
        Hold(Hold&& other) noexcept { *this = std::move(other); }
        Hold& operator=(Hold&& other) noexcept;
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() { reset(); }

        CCamImage* get() const { return m_view; }
        CCamImage* operator->() const { return m_view; }
        explicit operator bool() const { return m_view != nullptr; }
        // Tells one placing of a view in the slot from the next, even at the same address.
        uint32_t Serial() const { return m_serial; }
        void reset();

    private:
        friend class LiveViewSlot;
        Hold(LiveViewSlot* slot, CCamImage* view, uint32_t serial) : m_slot(slot), m_view(view), m_serial(serial) {}
        LiveViewSlot* m_slot = nullptr;
        CCamImage* m_view = nullptr;
        uint32_t m_serial = 0;
    };

    // view becomes the current one.
    void Set(CCamImage* view);
    Hold Acquire();
    // Clears the slot if it still holds view, then waits at most waitMs until no hold of view is
    // left, calling idle about every 10 ms meanwhile. False when holds were still left.
    bool Release(CCamImage* view, uint32_t waitMs, const std::function<void()>& idle = {});
    // The current view, unheld: only to compare it.
    CCamImage* Peek() const;

private:
    void Drop(CCamImage* view);

    mutable std::mutex m_lock;
    std::condition_variable m_dropped;
    CCamImage* m_current = nullptr;
    uint32_t m_serial = 0;
    std::vector<std::pair<CCamImage*, int>> m_holds;  // view, holds of it
};

}  // namespace qern
