#include "jpeg/JpegInput.h"

#include <cstring>

#include "jpeg/JpegFailure.h"
#include "jpeg/JpegSource.h"

namespace qern {

namespace {

void FillEoi(uint8_t* p, size_t n) {
    for (size_t i = 0; i + 1 < n; i += 2) {
        p[i] = 0xFF;
        p[i + 1] = 0xD9;
    }
}

}  // namespace

void JpegInput::Reset(JpegSource* source) {
    m_source = source;
    m_sourceEnd = false;
    std::memset(m_store, 0, sizeof m_store);
    m_ptr = m_store + kPushBack;
    m_avail = 0;
}

void JpegInput::CloseSource() {
    JpegSource* s = m_source;
    m_source = nullptr;
    if (s != nullptr) s->Close();
}

void JpegInput::Refill() {
    uint8_t* const buf = m_store + kPushBack;
    // Keep the last bytes read in front of the buffer so that Unget can step back over a refill.
    std::memmove(buf - kKeep, m_ptr - kKeep, kKeep);
    size_t filled = 0;
    if (m_source == nullptr) m_sourceEnd = true;
    while (!m_sourceEnd && filled < kBufferSize) {
        bool end = false;
        int32_t n = m_source->Read(buf + filled, static_cast<int32_t>(kBufferSize - filled), &end);
        if (n < 0) JpegFail(kJpegSourceFailed);
        // A source that delivers nothing without saying so is treated as ended: no endless polling.
        if (n == 0) end = true;
        size_t got = static_cast<size_t>(n);
        filled += got < kBufferSize - filled ? got : kBufferSize - filled;
        m_sourceEnd = end;
    }
    if (filled == 0) {
        // Exhausted: an even-length run of FF D9 keeps the pairs aligned across refills.
        FillEoi(buf, 128);
        filled = 128;
    }
    FillEoi(buf + filled, 128);
    m_ptr = buf;
    m_avail = filled;
}

void JpegInput::Skip(size_t n) {
    while (n > 0) {
        if (m_avail == 0) Refill();
        size_t step = n < m_avail ? n : m_avail;
        m_ptr += step;
        m_avail -= step;
        n -= step;
    }
}

}  // namespace qern
