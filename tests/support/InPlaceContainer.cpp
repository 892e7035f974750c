#include "tests/support/InPlaceContainer.h"

#include "tools/camhost/PageBrowser.h"

namespace qern {

namespace test {

InPlaceContainer::InPlaceContainer(camhost::Rect pos, const std::wstring& pageUrl, int width, int height) {
    frame.Create(L"test page", width, height);
    SetWindowPos(frame.Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    camhost::PageBrowser* browser = pageUrl.empty() ? nullptr : new camhost::PageBrowser(pageUrl);
    m_site = new camhost::ControlSite(frame, browser, pos);
    if (browser) browser->Release();  // the site holds it
}

InPlaceContainer::~InPlaceContainer() {
    Shutdown();
    m_site->Release();
}

HRESULT InPlaceContainer::Activate(IOleObject* object, const Params& params) {
    HRESULT hr = m_site->Adopt(object, params, error);
    return FAILED(hr) ? hr : m_site->Activate(error);
}

void InPlaceContainer::Shutdown() {
    m_site->Shutdown();
    frame.DropActiveObject();
}

}  // namespace test

}  // namespace qern
