#include "tools/camsim/TestPicture.h"

#include <algorithm>
#include <array>

namespace camsim {
namespace {

// 3x5 digit glyphs, one row per entry, bit 2 = left column.
constexpr std::array<std::array<uint8_t, 5>, 10> kGlyphs = {{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 2, 2, 2},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
}};

constexpr std::array<Rgb, 6> kPalette = {{
    {255, 255, 255},
    {0, 0, 0},
    {255, 0, 0},
    {0, 255, 0},
    {0, 0, 255},
    {128, 128, 128},
}};

}  // namespace

TestPicture::TestPicture(VideoSize size)
    : m_size(size),
      m_bandHeight(size.height / 4),
      m_digitScale(std::max(1, std::min(m_bandHeight / 7, (size.width / 2) / (kDigits * 4)))),
      m_background(static_cast<size_t>(size.width) * size.height, kWhite) {
    const std::vector<FlatArea> areas = FlatAreas();
    for (size_t i = 0; i < areas.size(); ++i)
        FillRect(m_background, areas[i].x, areas[i].y, areas[i].width, areas[i].height, kBars[i]);
}

std::vector<FlatArea> TestPicture::FlatAreas() const {
    std::vector<FlatArea> areas;
    const int barWidth = m_size.width / static_cast<int>(kBars.size());
    for (size_t i = 0; i < kBars.size(); ++i) {
        const int x = static_cast<int>(i) * barWidth;
        const int width = (i + 1 == kBars.size()) ? m_size.width - x : barWidth;
        areas.push_back(FlatArea{x, m_bandHeight, width, m_size.height - m_bandHeight, kPalette[kBars[i]]});
    }
    return areas;
}

int TestPicture::SquareX(uint64_t frameIndex) const {
    const int left = m_size.width / 2;
    const int travel = std::max(1, m_size.width - left - SquareSide());
    const int step = std::max(1, m_size.width / 80);
    return left + static_cast<int>((frameIndex * step) % static_cast<uint64_t>(travel));
}

void TestPicture::FillRect(std::vector<uint8_t>& indices, int x, int y, int w, int h, uint8_t index) const {
    const int x0 = std::clamp(x, 0, m_size.width), x1 = std::clamp(x + w, 0, m_size.width);
    const int y0 = std::clamp(y, 0, m_size.height), y1 = std::clamp(y + h, 0, m_size.height);
    for (int row = y0; row < y1; ++row) {
        std::fill(indices.begin() + static_cast<size_t>(row) * m_size.width + x0,
                  indices.begin() + static_cast<size_t>(row) * m_size.width + x1, index);
    }
}

void TestPicture::DrawDigit(std::vector<uint8_t>& indices, int x, int y, int digit) const {
    const auto& glyph = kGlyphs[static_cast<size_t>(digit)];
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (glyph[static_cast<size_t>(row)] & (4 >> col))
                FillRect(indices, x + col * m_digitScale, y + row * m_digitScale, m_digitScale, m_digitScale, kBlack);
        }
    }
}

void TestPicture::Render(uint64_t frameIndex, const PictureControls& controls, std::vector<uint8_t>& rgb) const {
    std::vector<uint8_t> indices = m_background;

    const int top = std::max(0, (m_bandHeight - 5 * m_digitScale) / 2);
    uint64_t value = frameIndex;
    for (int i = kDigits - 1; i >= 0; --i) {
        DrawDigit(indices, m_digitScale + i * 4 * m_digitScale, top, static_cast<int>(value % 10));
        value /= 10;
    }
    const int side = SquareSide();
    FillRect(indices, SquareX(frameIndex), (m_bandHeight - side) / 2, side, side, kBlack);

    std::array<Rgb, kPaletteSize> palette;
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = AdjustColour(kPalette[i], controls);

    rgb.resize(indices.size() * 3);
    for (size_t i = 0; i < indices.size(); ++i) {
        const Rgb& c = palette[indices[i]];
        rgb[3 * i] = c.r;
        rgb[3 * i + 1] = c.g;
        rgb[3 * i + 2] = c.b;
    }
}

}  // namespace camsim
