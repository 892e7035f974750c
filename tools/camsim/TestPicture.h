#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "tools/camsim/ColourAdjust.h"
#include "tools/camsim/VideoSize.h"

namespace camsim {

// A rectangle of one colour that stays the same from frame to frame.
struct FlatArea {
    int x, y, width, height;
    Rgb colour;  // before the picture controls are applied
};

// The moving test picture. The upper quarter is white with the frame index in black
// digits on the left and a black square that moves with the frame index on the right;
// the lower three quarters are four flat bars: red, green, blue and mid-grey.
class TestPicture {
public:
    explicit TestPicture(VideoSize size);

    // Packed RGB, rows top to bottom, of frame `frameIndex` with the controls applied.
    void Render(uint64_t frameIndex, const PictureControls& controls, std::vector<uint8_t>& rgb) const;

    VideoSize Size() const { return m_size; }
    std::vector<FlatArea> FlatAreas() const;

    // Where the moving square's left edge is in a frame, and the digit cell size.
    int SquareX(uint64_t frameIndex) const;
    int SquareSide() const { return m_bandHeight / 2; }
    int DigitScale() const { return m_digitScale; }
    static constexpr int kDigits = 6;

private:
    enum Index : uint8_t { kWhite, kBlack, kRed, kGreen, kBlue, kGrey, kPaletteSize };
    static constexpr std::array<Index, 4> kBars = {kRed, kGreen, kBlue, kGrey};  // left to right

    void FillRect(std::vector<uint8_t>& indices, int x, int y, int w, int h, uint8_t index) const;
    void DrawDigit(std::vector<uint8_t>& indices, int x, int y, int digit) const;

    VideoSize m_size;
    int m_bandHeight;
    int m_digitScale;
    std::vector<uint8_t> m_background;  // palette indices of the still parts
};

}  // namespace camsim
