#include "liveview/PageUrl.h"

#include <exdisp.h>
#include <servprov.h>

#include "com/ComPtr.h"

bool GetPageUrl(IOleClientSite* site, qern::BStr& url) {
    url.reset();
    if (!site) return false;
    qern::ComPtr<IServiceProvider> services;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void()))) return false;
    qern::ComPtr<IWebBrowser2> browser;
    if (FAILED(services->QueryService(IID_IWebBrowserApp,  // the web browser service id
                                       IID_IWebBrowser2, browser.put_void()))) return false;
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location))) return false;
    url = qern::BStr::attach(location);
    return true;
}
