#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace camsim {

// Decodes standard Base64 (RFC 4648, "=" padding). Line breaks and blanks inside the
// text are skipped: a client may break a long credentials text after 72 characters.
// Returns nothing for characters outside the alphabet or a malformed ending.
std::optional<std::string> DecodeBase64(std::string_view text);

// The user and password a camera accepts.
struct Credentials {
    std::string user;
    std::string password;
};

// True when an Authorization header value ("Basic <base64 of user:password>")
// names exactly these credentials. The scheme name is matched without regard to case.
bool BasicAuthorizationMatches(std::string_view headerValue, const Credentials& expected);

}  // namespace camsim
