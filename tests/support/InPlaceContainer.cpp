#include "tests/support/InPlaceContainer.h"

#include "tools/camhost/PageBrowser.h"

namespace qern::test {

InPlaceContainer::InPlaceContainer(camhost::Rect pos, const std::wstring& pageUrl, int width, int height) {
    frame.Create(L"test page", width, height);
    SetWindowPos(frame.Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    camhost::PageBrowser* browser = pageUrl.empty() ? nullptr : new camhost::PageBrowser(pageUrl);
    site_ = new camhost::ControlSite(frame, browser, pos);
    if (browser) browser->Release();  // the site holds it
}

InPlaceContainer::~InPlaceContainer() {
    Shutdown();
    site_->Release();
}

HRESULT InPlaceContainer::Activate(IOleObject* object, const Params& params) {
    HRESULT hr = site_->Adopt(object, params, error);
    return FAILED(hr) ? hr : site_->Activate(error);
}

void InPlaceContainer::Shutdown() {
    site_->Shutdown();
    frame.DropActiveObject();
}

}  // namespace qern::test
