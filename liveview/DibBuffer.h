#pragma once
// A 32-bit bottom-up device-independent bitmap in one heap block: header, then pixels.
#include <windows.h>

#include <cstdint>

namespace qern {

class DibBuffer {
public:
    DibBuffer() = default;
    ~DibBuffer();
    DibBuffer(const DibBuffer&) = delete;
    DibBuffer& operator=(const DibBuffer&) = delete;

    // Frees any old block, allocates header + pixels filled with 0x50 and writes the header.
    bool Create(int32_t width, int32_t height, int32_t bitsPerPixel);
    bool IsValid() const;
    // The pixels, or null when the block is not a valid bitmap.
    uint8_t* GetBits() const;
    const BITMAPINFOHEADER* Header() const { return reinterpret_cast<const BITMAPINFOHEADER*>(m_block); }
    int32_t Size() const { return m_size; }
    // A device bitmap made from the pixels now; replaces (and deletes) the previous one.
    HBITMAP GetBitmap(HDC hdc);

private:
    void Free();

    HBITMAP m_bitmap = nullptr;
    uint8_t* m_block = nullptr;
    int32_t m_size = 0;
};

}  // namespace qern
