#pragma once
// The address of the page that hosts a control, from its container's web browser service.
#include <ocidl.h>

#include "com/BStr.h"

namespace qern {

// Client site -> IServiceProvider -> IWebBrowserApp service as IWebBrowser2 -> LocationURL.
// False when any step fails, also without a client site.
bool GetPageUrl(IOleClientSite* site, BStr& url);

}  // namespace qern
