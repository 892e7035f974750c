#include "liveview/pipeline/ImageProcessHook.h"

#include <cstring>

namespace qern {

bool RunImageProcessHook(uintptr_t callback, uintptr_t buffer, uint8_t* pixels, size_t bytes) {
    if (callback == 0 || buffer == 0 || !pixels) return false;
    uint8_t* shared = reinterpret_cast<uint8_t*>(buffer);
    std::memcpy(shared, pixels, bytes);
    reinterpret_cast<ImageProcessFunction>(callback)();
    std::memcpy(pixels, shared, bytes);
    return true;
}

}  // namespace qern