#pragma once
// Where each control goes in the host's window, laid out as a camera's page: the live view (or a
// grid of them) at the top left, the settings panel to its right, the recording strip below it.
#include <string>
#include <vector>

#include "tools/camhost/HostOptions.h"

namespace camhost {

enum class ControlKind { LiveView, SettingsPanel, RecordStrip, Other };

ControlKind KindOfProgId(const std::string& progId);

// Repeats the last live view until there are at least `grid` of them (their PARAMs included).
// Returns false when a grid is asked for and no live view is given.
bool ExpandGrid(std::vector<ControlSpec>& controls, int grid);

struct PageLayout {
    std::vector<Rect> rects;  // one per control, in the order given
    int clientWidth = 0;
    int clientHeight = 0;
};

// Sizes in pixels of the panel (234 x 306 dialog units) and the strip (290 x 34) in an 8-point font.
const int kMargin = 10;
const int kViewWidth = 640, kViewHeight = 480;
const int kGridCellWidth = 320, kGridCellHeight = 240;
const int kPanelWidth = 351, kPanelHeight = 497;
const int kStripWidth = 435, kStripHeight = 55;
const int kOtherWidth = 320, kOtherHeight = 240;

// cellWidth/cellHeight 0: 640x480 for a single live view, 320x240 in a grid.
PageLayout LayOut(const std::vector<ControlSpec>& controls, int cellWidth, int cellHeight);

}  // namespace camhost
