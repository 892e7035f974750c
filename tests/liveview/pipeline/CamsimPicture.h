#pragma once
// The camera simulator as the live view's tests see it: its port and its test picture.
#include <string>

#include "tests/liveview/pipeline/WinCapture.h"

namespace liveview::test {

// Port of the simulator on 127.0.0.1 (QERN_CAMSIM_PORT), 0 without one.
int CamsimPort();

// The picture of the camera simulator: white upper quarter, then red, green, blue and grey bars.
// Checks a capture of a window that shows it stretched (upright or turned); returns what failed.
std::string CheckCamsimPicture(const Capture& c, bool upsideDown, bool mirror);

}  // namespace liveview::test
