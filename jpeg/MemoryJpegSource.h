#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/JpegSource.h"

// Yields the bytes of a frame held in memory, optionally in pieces of at most `chunk` bytes per Read,
// so that tests can exercise the decoder's refills at every offset.
class MemoryJpegSource : public JpegSource {
public:
    MemoryJpegSource(const uint8_t* data, size_t size, size_t chunk = 0);

    int32_t Read(uint8_t* dst, int32_t max, bool* end) override;
    void Close() override { ++closeCount_; }

    int CloseCount() const { return closeCount_; }
    size_t Position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t chunk_;
    size_t pos_ = 0;
    int closeCount_ = 0;
};
