#include "settings/BitmapSlider.h"

#include <windowsx.h>

#include <algorithm>

#include "settings/GdiHandles.h"

namespace qern {

void BitmapSlider::SetRange(int32_t a, int32_t b) {
    m_minimum = std::min(a, b);
    m_maximum = std::max(a, b);
}

void BitmapSlider::SetValue(int32_t value) {
    m_position = std::clamp(value, m_minimum, m_maximum) - m_minimum;
    if (Window()) InvalidateRect(Window(), nullptr, FALSE);
}

void BitmapSlider::NotifyParent() {
    const WPARAM wp = (static_cast<WPARAM>(static_cast<uint16_t>(Value())) << 16) | kThumbPosition;
    SendMessageW(GetParent(Window()), WM_HSCROLL, wp, reinterpret_cast<LPARAM>(Window()));
}

void BitmapSlider::MoveToMouse(LPARAM lp) {
    RECT client;
    GetClientRect(Window(), &client);
    const int32_t track = client.right - m_thumbWidth;
    if (track > 0) {
        const int32_t x = std::clamp<int32_t>(GET_X_LPARAM(lp), 0, track);
        m_position = Span() * x / track;
    } else {
        m_position = 0;  // no room to move in
    }
    InvalidateRect(Window(), nullptr, FALSE);
}

bool BitmapSlider::Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = 0;
    switch (msg) {
        case WM_PAINT:
            Paint();
            return true;
        case WM_ERASEBKGND:
            return true;
        case WM_LBUTTONDOWN:
            SetCapture(Window());
            SetFocus(Window());
            MoveToMouse(lp);
            return true;
        case WM_MOUSEMOVE:
            if (GetCapture() == Window()) MoveToMouse(lp);
            return true;
        case WM_LBUTTONUP:
            NotifyParent();
            if (GetCapture() == Window()) ReleaseCapture();
            return true;
        case WM_KEYDOWN: {
            int32_t step = 0;
            if (wp == VK_UP || wp == VK_RIGHT) step = 1;
            if (wp == VK_LEFT || wp == VK_DOWN) step = -1;
            if (step == 0) return true;
            m_position = std::clamp(m_position + step, 0, Span());
            NotifyParent();
            InvalidateRect(Window(), nullptr, FALSE);
            return true;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            m_focused = msg == WM_SETFOCUS ? 1 : 0;
            InvalidateRect(Window(), nullptr, FALSE);
            return true;
        default:
            return false;
    }
}

void BitmapSlider::Paint() {
    PaintScope paint(Window());
    RECT client;
    GetClientRect(Window(), &client);
    MemoryDc memory(CreateCompatibleDC(paint.Dc()));
    GdiBitmap canvas(CreateCompatibleBitmap(paint.Dc(), client.right, client.bottom));
    if (!memory || !canvas) return;
    SelectedObject onCanvas(memory.get(), canvas.get());
    const bool enabled = IsWindowEnabled(Window()) != FALSE;

    GdiBrush track(CreateSolidBrush(kTrack));
    if (m_focused) {
        GdiPen outline(CreatePen(PS_SOLID, 1, kLightGrey));
        SelectedObject pen(memory.get(), outline.get());
        SelectedObject brush(memory.get(), track.get());
        Rectangle(memory.get(), client.left, client.top, client.right, client.bottom);
    } else {
        FillRect(memory.get(), &client, track.get());
    }

    // The groove: dark top and left edges; bottom and right light while enabled.
    const int mid = client.bottom / 2;
    const int x1 = client.left + m_thumbWidth / 2 + 2;
    const int x2 = client.right - m_thumbWidth / 2 - 2;
    {
        GdiPen dark(CreatePen(PS_SOLID, 2, kDarkGrey));
        SelectedObject pen(memory.get(), dark.get());
        MoveToEx(memory.get(), x1, mid + 2, nullptr);
        LineTo(memory.get(), x1, mid - 3);
        LineTo(memory.get(), x1, mid - 2);
        LineTo(memory.get(), x2, mid - 2);
    }
    {
        GdiPen lower(CreatePen(PS_SOLID, 2, enabled ? kLightGrey : kDarkGrey));
        SelectedObject pen(memory.get(), lower.get());
        LineTo(memory.get(), x2, mid + 2);
        LineTo(memory.get(), x1, mid + 2);
    }

    GdiBitmap thumb(LoadBitmapW(Resources(), MAKEINTRESOURCEW(kThumbBitmap)));
    BITMAP size{};
    if (thumb && GetObjectW(thumb.get(), sizeof size, &size)) {
        m_thumbWidth = size.bmWidth;
        m_thumbHeight = size.bmHeight;
    }
    const int left = Span() == 0 ? 0 : (client.right - m_thumbWidth) * m_position / Span();
    const int top = (client.bottom - m_thumbHeight) / 2;
    if (enabled && thumb) {
        MemoryDc source(CreateCompatibleDC(memory.get()));
        SelectedObject onSource(source.get(), thumb.get());
        BitBlt(memory.get(), left, top, m_thumbWidth, m_thumbHeight, source.get(), 0, 0, SRCCOPY);
    } else if (!enabled) {
        GdiBrush dark(CreateSolidBrush(kDarkGrey));
        RECT box{left, top, left + m_thumbWidth, top + m_thumbHeight};
        FillRect(memory.get(), &box, dark.get());
    }
    BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

}  // namespace qern
