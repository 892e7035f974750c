#include "liveview/DibBuffer.h"

#include <cstring>
#include <new>

namespace qern {

namespace {
const int32_t kHeaderBytes = sizeof(BITMAPINFOHEADER);  // 40
const LONG kPelsPerMeter = 3780;                        // 96 dots per inch
}  // namespace

DibBuffer::~DibBuffer() {
    Free();
    // The last device bitmap goes with the buffer instead of leaking a GDI object.
    if (m_bitmap) DeleteObject(m_bitmap);
}

void DibBuffer::Free() {
    delete[] m_block;
    m_block = nullptr;
    m_size = 0;
}

bool DibBuffer::Create(int32_t width, int32_t height, int32_t bitsPerPixel) {
    Free();
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0) return false;
    int64_t pixelBytes = int64_t(width) * height * bitsPerPixel / 8;
    if (pixelBytes > 0x7FFFFFFF - kHeaderBytes) return false;
    int32_t total = kHeaderBytes + static_cast<int32_t>(pixelBytes);
    m_block = new (std::nothrow) uint8_t[total];
    if (!m_block) return false;
    m_size = total;
    std::memset(m_block, 0x50, total);
    BITMAPINFOHEADER h{};
    h.biSize = kHeaderBytes;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitsPerPixel);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(pixelBytes);
    h.biXPelsPerMeter = kPelsPerMeter;
    h.biYPelsPerMeter = kPelsPerMeter;
    std::memcpy(m_block, &h, sizeof(h));
    return true;
}

bool DibBuffer::IsValid() const {
    if (!m_block || m_size < kHeaderBytes + 1) return false;
    const BITMAPINFOHEADER* h = Header();
    if (h->biSize != static_cast<DWORD>(kHeaderBytes) || h->biPlanes != 1 || h->biCompression != BI_RGB) return false;
    switch (h->biBitCount) {
        case 0:
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return false;
    }
    int64_t expected = int64_t(h->biWidth) * h->biHeight * h->biBitCount / 8;
    return expected == int64_t(h->biSizeImage) && expected == int64_t(m_size) - kHeaderBytes;
}

uint8_t* DibBuffer::GetBits() const { return IsValid() ? m_block + kHeaderBytes : nullptr; }

HBITMAP DibBuffer::GetBitmap(HDC hdc) {
    if (!IsValid()) return nullptr;
    if (m_bitmap) DeleteObject(m_bitmap);
    const BITMAPINFOHEADER* h = Header();
    m_bitmap = CreateDIBitmap(hdc, h, CBM_INIT, m_block + kHeaderBytes, reinterpret_cast<const BITMAPINFO*>(h),
                              DIB_RGB_COLORS);
    return m_bitmap;
}

}  // namespace qern
