#include "jpeg/JpegInput.h"

#include <cstring>

#include "jpeg/JpegFailure.h"
#include "jpeg/JpegSource.h"

namespace {

void FillEoi(uint8_t* p, size_t n) {
    for (size_t i = 0; i + 1 < n; i += 2) {
        p[i] = 0xFF;
        p[i + 1] = 0xD9;
    }
}

}  // namespace

void JpegInput::Reset(JpegSource* source) {
    source_ = source;
    sourceEnd_ = false;
    std::memset(store_, 0, sizeof store_);
    ptr_ = store_ + kPushBack;
    avail_ = 0;
}

void JpegInput::CloseSource() {
    JpegSource* s = source_;
    source_ = nullptr;
    if (s != nullptr) s->Close();
}

void JpegInput::Refill() {
    uint8_t* const buf = store_ + kPushBack;
    // Keep the last bytes read in front of the buffer so that Unget can step back over a refill.
    std::memmove(buf - kKeep, ptr_ - kKeep, kKeep);
    size_t filled = 0;
    if (source_ == nullptr) sourceEnd_ = true;
    while (!sourceEnd_ && filled < kBufferSize) {
        bool end = false;
        int32_t n = source_->Read(buf + filled, static_cast<int32_t>(kBufferSize - filled), &end);
        if (n < 0) JpegFail(kJpegSourceFailed);
        // A source that delivers nothing without saying so is treated as ended: no endless polling.
        if (n == 0) end = true;
        size_t got = static_cast<size_t>(n);
        filled += got < kBufferSize - filled ? got : kBufferSize - filled;
        sourceEnd_ = end;
    }
    if (filled == 0) {
        // Exhausted: an even-length run of FF D9 keeps the pairs aligned across refills.
        FillEoi(buf, 128);
        filled = 128;
    }
    FillEoi(buf + filled, 128);
    ptr_ = buf;
    avail_ = filled;
}

void JpegInput::Skip(size_t n) {
    while (n > 0) {
        if (avail_ == 0) Refill();
        size_t step = n < avail_ ? n : avail_;
        ptr_ += step;
        avail_ -= step;
        n -= step;
    }
}
