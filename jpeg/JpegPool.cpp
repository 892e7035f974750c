#include "jpeg/JpegPool.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "jpeg/JpegFailure.h"

namespace qern {

void* JpegPool::Take(size_t size) {
    int slot = 0;
    while (slot < kSlots && m_raw[slot] != nullptr) ++slot;
    if (slot == kSlots) JpegFail(kJpegPoolFull);
    if (size > SIZE_MAX - kAlign) JpegFail(kJpegOutOfMemory);
    void* raw = std::malloc(size + kAlign);
    if (raw == nullptr) JpegFail(kJpegOutOfMemory);
    std::memset(raw, 0, size + kAlign);
    m_raw[slot] = raw;
    uintptr_t p = reinterpret_cast<uintptr_t>(raw);
    p = (p + kAlign - 1) & ~static_cast<uintptr_t>(kAlign - 1);
    return reinterpret_cast<void*>(p);
}

void JpegPool::FreeAll() {
    for (void*& p : m_raw) {
        std::free(p);
        p = nullptr;
    }
}

int JpegPool::Used() const {
    int n = 0;
    for (void* p : m_raw) n += p != nullptr;
    return n;
}

}  // namespace qern
