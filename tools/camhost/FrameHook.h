#pragma once
// Counts the frames a live view decodes through its image callback. The callback and its buffer
// are shared by every live view of the process, so one hook serves them all.
#include <atomic>
#include <cstdint>
#include <vector>

#include "module/QERNCamControl_h.h"

namespace camhost {

class FrameHook {
public:
    // The buffer takes the largest frame, 640 x 480 pixels of 4 bytes.
    static const size_t kBufferBytes = 640 * 480 * 4;

    static FrameHook& Instance();
    HRESULT Install(ICamImage* view);
    // Switches the callback off again (0 for both addresses); the buffer stays for a worker that
    // is still in its copy.
    void Remove(ICamImage* view);
    long Frames() const { return m_frames.load(); }

private:
    FrameHook() : m_buffer(kBufferBytes) {}
    static void Seen();
    std::atomic<long> m_frames{0};
    std::vector<uint8_t> m_buffer;
};

}  // namespace camhost
