#include "tools/camhost/Layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace camhost {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The version-dependent ProgID is the version-independent one plus ".N".
bool NamesClass(const std::string& progId, const std::string& name) {
    std::string p = Lower(progId);
    return p == name || (StartsWith(p, name + ".") && p.size() > name.size() + 1 &&
                         std::all_of(p.begin() + static_cast<long>(name.size()) + 1, p.end(),
                                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }));
}

bool Overlaps(const Rect& a, const Rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

}  // namespace

ControlKind KindOfProgId(const std::string& progId) {
    if (NamesClass(progId, "qern.camimage")) return ControlKind::LiveView;
    if (NamesClass(progId, "qerncamcontrol.cimgctrl")) return ControlKind::SettingsPanel;
    if (NamesClass(progId, "qerncamcontrol.crec")) return ControlKind::RecordStrip;
    return ControlKind::Other;
}

bool ExpandGrid(std::vector<ControlSpec>& controls, int grid) {
    if (grid <= 0) return true;
    int views = 0;
    size_t last = controls.size();
    for (size_t i = 0; i < controls.size(); ++i) {
        if (KindOfProgId(controls[i].progId) == ControlKind::LiveView) {
            ++views;
            last = i;
        }
    }
    if (views == 0) return false;
    ControlSpec copy = controls[last];
    copy.hasRect = false;
    for (; views < grid; ++views) controls.insert(controls.begin() + static_cast<long>(++last), copy);
    return true;
}

PageLayout LayOut(const std::vector<ControlSpec>& controls, int cellWidth, int cellHeight) {
    PageLayout page;
    page.rects.resize(controls.size());
    int views = 0;
    for (const ControlSpec& c : controls)
        if (!c.hasRect && KindOfProgId(c.progId) == ControlKind::LiveView) ++views;
    if (cellWidth <= 0 || cellHeight <= 0) {
        cellWidth = views > 1 ? kGridCellWidth : kViewWidth;
        cellHeight = views > 1 ? kGridCellHeight : kViewHeight;
    }
    const int columns = views > 0 ? static_cast<int>(std::ceil(std::sqrt(static_cast<double>(views)))) : 0;
    const int rows = columns > 0 ? (views + columns - 1) / columns : 0;
    // The live-view area; the panel goes to its right, the strip and the rest below it.
    const int areaRight = kMargin + columns * cellWidth + (columns > 0 ? (columns - 1) * kMargin : 0);
    const int areaBottom = kMargin + rows * cellHeight + (rows > 0 ? (rows - 1) * kMargin : 0);
    int view = 0;
    int panelY = kMargin;
    int belowY = views > 0 ? areaBottom + kMargin : kMargin;
    int otherX = kMargin;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].hasRect) {
            page.rects[i] = controls[i].rect;
            continue;
        }
        switch (KindOfProgId(controls[i].progId)) {
            case ControlKind::LiveView:
                page.rects[i] = Rect{kMargin + (view % columns) * (cellWidth + kMargin),
                                     kMargin + (view / columns) * (cellHeight + kMargin), cellWidth, cellHeight};
                ++view;
                break;
            case ControlKind::SettingsPanel:
                page.rects[i] = Rect{(views > 0 ? areaRight : 0) + kMargin, panelY, kPanelWidth, kPanelHeight};
                panelY += kPanelHeight + kMargin;
                break;
            case ControlKind::RecordStrip:
                page.rects[i] = Rect{kMargin, belowY, kStripWidth, kStripHeight};
                belowY += kStripHeight + kMargin;
                break;
            case ControlKind::Other:
                break;
        }
    }
    // Other controls flow in a row below everything else.
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].hasRect || KindOfProgId(controls[i].progId) != ControlKind::Other) continue;
        page.rects[i] = Rect{otherX, belowY, kOtherWidth, kOtherHeight};
        otherX += kOtherWidth + kMargin;
    }
    // Controls placed by hand keep their place; if the page's own layout runs into one of them,
    // the laid-out controls move below the lowest of them.
    int fixedBottom = 0;
    bool collides = false;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (!controls[i].hasRect) continue;
        fixedBottom = std::max(fixedBottom, page.rects[i].y + page.rects[i].height);
        for (size_t j = 0; j < controls.size(); ++j)
            if (!controls[j].hasRect && Overlaps(page.rects[i], page.rects[j])) collides = true;
    }
    if (collides) {
        for (size_t j = 0; j < controls.size(); ++j)
            if (!controls[j].hasRect) page.rects[j].y += fixedBottom;
    }
    for (const Rect& r : page.rects) {
        page.clientWidth = std::max(page.clientWidth, r.x + r.width + kMargin);
        page.clientHeight = std::max(page.clientHeight, r.y + r.height + kMargin);
    }
    return page;
}

}  // namespace camhost
