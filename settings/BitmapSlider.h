#pragma once
// A trackbar drawn flat: light-blue track, sunken groove, bitmap thumb. The user's finished change
// (button released, arrow key) goes to the parent as WM_HSCROLL with the value in the high word
// and 4 in the low word.
#include <cstdint>

#include "settings/SubclassedWindow.h"

namespace qern {

class BitmapSlider : public SubclassedWindow {
public:
    static constexpr WORD kThumbBitmap = 202;
    static constexpr COLORREF kTrack = RGB(0x99, 0xCC, 0xFF);
    static constexpr COLORREF kLightGrey = RGB(0x99, 0x99, 0x99);
    static constexpr COLORREF kDarkGrey = RGB(0x44, 0x44, 0x44);
    static constexpr WPARAM kThumbPosition = 4;

    // In either order; the position is kept.
    void SetRange(int32_t a, int32_t b);
    // Shows a value the camera reported (clamped to the range), without telling the parent.
    void SetValue(int32_t value);
    int32_t Value() const { return m_minimum + m_position; }

protected:
    bool Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void Paint();
    void MoveToMouse(LPARAM lp);
    void NotifyParent();
    int32_t Span() const { return m_maximum - m_minimum; }

    int32_t m_minimum = 0;
    int32_t m_maximum = 0;
    int32_t m_position = 0;
    int32_t m_thumbWidth = 8;
    int32_t m_thumbHeight = 16;
    int m_focused = 0;
};

}  // namespace qern
