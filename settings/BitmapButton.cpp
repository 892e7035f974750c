#include "settings/BitmapButton.h"

#include "settings/GdiHandles.h"

namespace qern {

bool BitmapButton::Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = 0;
    if (msg == WM_SETFOCUS) {
        InvalidateRect(Window(), nullptr, FALSE);
        return false;  // the button still takes the focus its own way
    }
    if (msg != WM_PAINT) return false;
    PaintScope paint(Window());
    GdiBitmap face(LoadBitmapW(Resources(), MAKEINTRESOURCEW(m_bitmapId)));
    BITMAP size{};
    if (!face || !GetObjectW(face.get(), sizeof size, &size)) return true;
    MemoryDc source(CreateCompatibleDC(paint.Dc()));
    SelectedObject onSource(source.get(), face.get());
    BitBlt(paint.Dc(), 0, 0, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY);
    return true;
}

}  // namespace qern
