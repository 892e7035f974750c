#include "liveview/CameraAddress.h"

namespace qern {

CameraAddress ResolveCameraAddress(const std::string& text, const UrlParts& cracked, bool crackedOk,
                                   const UrlParts* page) {
    CameraAddress a;
    if (crackedOk && cracked.schemeNumber == kUrlSchemeHttp) {
        a.hasBase = true;
        a.base = FormatBaseUrl(cracked);
        a.path = cracked.path;
        return a;
    }
    a.path = text;
    if (page) {
        a.hasBase = true;
        a.base = FormatBaseUrl(*page);
    }
    return a;
}

}  // namespace qern
