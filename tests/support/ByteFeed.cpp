#include "tests/support/ByteFeed.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace qern {

namespace test {

int32_t PieceStream::Read(uint8_t* buffer, int32_t size) {
    if (pos >= data.size()) {
        ++overreads;
        return 0;
    }
    const size_t piece = size_t(sizes.empty() ? 4096 : sizes[m_next++ % sizes.size()]);
    const size_t n = std::min({size_t(std::max(size, 0)), piece, data.size() - pos});
    std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    return int32_t(n);
}

std::string Part(const std::string& jpeg, const std::optional<camsim::FrameStamp>& stamp,
                 std::optional<size_t> declared) {
    return camsim::FormatPartHeader(declared.value_or(jpeg.size()), stamp) + jpeg + camsim::kPartTrailer;
}

std::string Part(const std::vector<uint8_t>& jpeg, const std::optional<camsim::FrameStamp>& stamp) {
    return Part(std::string(jpeg.begin(), jpeg.end()), stamp);
}

std::string FakeJpeg(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(std::max<size_t>(size, 4), '\0');
    for (char& c : s) c = char(rng() % 0xFF);
    s[0] = char(0xFF), s[1] = char(0xD8);
    s[s.size() - 2] = char(0xFF), s[s.size() - 1] = char(0xD9);
    return s;
}

}  // namespace test

}  // namespace qern
