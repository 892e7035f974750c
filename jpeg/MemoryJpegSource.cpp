#include "jpeg/MemoryJpegSource.h"

#include <cstring>

MemoryJpegSource::MemoryJpegSource(const uint8_t* data, size_t size, size_t chunk)
    : data_(data), size_(size), chunk_(chunk) {}

int32_t MemoryJpegSource::Read(uint8_t* dst, int32_t max, bool* end) {
    size_t n = max > 0 ? static_cast<size_t>(max) : 0;
    if (chunk_ != 0 && n > chunk_) n = chunk_;
    if (n > size_ - pos_) n = size_ - pos_;
    if (n != 0) std::memcpy(dst, data_ + pos_, n);
    pos_ += n;
    *end = pos_ >= size_;
    return static_cast<int32_t>(n);
}
