#include "liveview/PageUrl.h"

#include <exdisp.h>
#include <servprov.h>

#include "com/ComPtr.h"

namespace qern {

bool GetPageUrl(IOleClientSite* site, BStr& url) {
    url.reset();
    if (!site) return false;
    ComPtr<IServiceProvider> services;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void()))) return false;
    ComPtr<IWebBrowser2> browser;
    if (FAILED(services->QueryService(IID_IWebBrowserApp,  // the web browser service id
                                      IID_IWebBrowser2, browser.put_void())))
        return false;
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location))) return false;
    url = BStr::attach(location);
    return true;
}

}  // namespace qern
