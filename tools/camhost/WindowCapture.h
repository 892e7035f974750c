#pragma once
// The pixels of a window's client area, its child windows included, as they are on the screen.
#include <windows.h>

#include "tools/camhost/BmpFile.h"

namespace camhost {

bool CaptureClientArea(HWND window, Picture& out);

}  // namespace camhost
