#pragma once
// Where the camera is, from the URL property and, for a bare path, the hosting page.
#include <string>

#include "common/Url.h"

namespace qern {

struct CameraAddress {
    bool hasBase = false;  // false: no base address (null)
    std::string base;      // scheme, host and port
    std::string path;      // video path
};

// The address for a non-empty URL text: an http URL gives its own base and path; anything
// else is a path on the server that delivered the page (page: the cracked page address, or
// null when the page address is unknown or empty).
CameraAddress ResolveCameraAddress(const std::string& text, const UrlParts& cracked, bool crackedOk,
                                   const UrlParts* page);

}  // namespace qern
