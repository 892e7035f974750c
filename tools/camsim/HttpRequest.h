#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace camsim {

// One request head as a camera client sends it. The target is kept exactly as sent:
// a settings client puts folder names with blanks and backslashes into it unescaped.
struct HttpRequest {
    std::string method;
    std::string target;   // path with query
    std::string version;  // "HTTP/1.0" or "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;

    std::optional<std::string> Header(std::string_view name) const;  // case-insensitive name
    std::string Path() const;                                        // target up to "?"
    std::string Query() const;                                       // after "?", or empty
    bool KeepAlive() const;  // HTTP/1.1 unless "Connection: close"; HTTP/1.0 only with keep-alive
};

enum class HeadStatus { Incomplete, Complete, Malformed, TooLarge };

constexpr size_t kMaxRequestHead = 8192;

struct HeadParse {
    HeadStatus status = HeadStatus::Incomplete;
    size_t consumed = 0;  // bytes of the buffer that made up the head (Complete only)
    HttpRequest request;
};

// Parses the head at the start of buffer. Several requests may follow each other in
// one buffer; the caller removes `consumed` bytes and parses again.
HeadParse ParseRequestHead(std::string_view buffer);

}  // namespace camsim
