#pragma once

#include <cstddef>

namespace qern {

// The per-frame memory of JpegDecoder: at most 100 zero-filled blocks, never freed one by one.
class JpegPool {
public:
    static constexpr int kSlots = 100;
    static constexpr size_t kAlign = 32;  // SIMD loads of coefficient and sample blocks

    JpegPool() = default;
    ~JpegPool() { FreeAll(); }
    JpegPool(const JpegPool&) = delete;
    JpegPool& operator=(const JpegPool&) = delete;

    // Zero-filled block of `size` bytes, aligned to kAlign; fails the frame when the slots or the heap run out.
    void* Take(size_t size);
    void FreeAll();
    int Used() const;

private:
    void* m_raw[kSlots] = {};
};

}  // namespace qern
