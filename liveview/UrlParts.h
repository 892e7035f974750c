#pragma once
// A URL split into its parts, and the camera's base address made from them.
#include <cstdint>
#include <string>

// Scheme numbers as WinINet counts them.
enum : int32_t { kUrlSchemeHttp = 3 };

struct UrlParts {
    std::string scheme;
    int32_t schemeNumber = 0;
    std::string host;
    uint16_t port = 0;
    std::string user;
    std::string password;
    std::string path;
    std::string extra;

    // Splits text with the system's URL cracker; false when it refuses the text.
    bool CrackUrl(const char* text);
};

// "%s://%s:%d" of scheme, host and port.
std::string FormatBaseUrl(const UrlParts& parts);
