#pragma once
// A push button painted with a bitmap face, the same in every state; clicks stay the button's.
#include "settings/SubclassedWindow.h"

namespace qern {

class BitmapButton : public SubclassedWindow {
public:
    static constexpr WORD kRecFace = 205;
    static constexpr WORD kStopFace = 206;

    void SetBitmap(WORD id) { m_bitmapId = id; }
    WORD Bitmap() const { return m_bitmapId; }

protected:
    bool Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    WORD m_bitmapId = 0;
};

}  // namespace qern
