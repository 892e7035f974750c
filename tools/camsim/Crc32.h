#pragma once
#include <cstddef>
#include <cstdint>

namespace camsim {

// CRC-32 as used by zlib and PNG (reflected polynomial 0xEDB88320), so a test can
// compare with `crc32` tools or its own table.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

}  // namespace camsim
