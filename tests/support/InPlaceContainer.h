#pragma once
// A control in place on a page made of camhost's own parts: a HostFrame window, a ControlSite at
// `pos` in it and, given a page address, the PageBrowser that tells the control that address.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/camhost/ControlSite.h"
#include "tools/camhost/HostFrame.h"

namespace qern {

namespace test {

class InPlaceContainer {
public:
    using Params = std::vector<std::pair<std::wstring, std::wstring>>;
    explicit InPlaceContainer(camhost::Rect pos = {0, 0, 320, 240}, const std::wstring& pageUrl = L"", int width = 800,
                              int height = 600);
    ~InPlaceContainer();
    InPlaceContainer(const InPlaceContainer&) = delete;
    InPlaceContainer& operator=(const InPlaceContainer&) = delete;

    // Sites the test's `object`, loads `params` as PARAMs (none: InitNew) and activates it in place;
    // `error` says which step failed.
    HRESULT Activate(IOleObject* object, const Params& params = {});
    // Deactivates and lets the control go (also done by the destructor).
    void Shutdown();

    HWND Window() const { return frame.Window(); }
    HWND Control() const { return m_site->ControlWindow(); }
    camhost::ControlSite& Site() { return *m_site; }

    camhost::HostFrame frame;
    std::string error;

private:
    camhost::ControlSite* m_site = nullptr;
};

}  // namespace test

}  // namespace qern
