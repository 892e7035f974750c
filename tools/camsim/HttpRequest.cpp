#include "tools/camsim/HttpRequest.h"

#include <algorithm>
#include <cctype>

namespace camsim {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// End of the head: the blank line. Hand-typed requests may use bare line feeds.
// Returns the offset after the blank line and the line separator in use.
std::optional<std::pair<size_t, std::string_view>> FindHeadEnd(std::string_view buffer) {
    size_t crlf = buffer.find("\r\n\r\n");
    size_t lf = buffer.find("\n\n");
    if (crlf == std::string_view::npos && lf == std::string_view::npos) return std::nullopt;
    if (lf == std::string_view::npos || (crlf != std::string_view::npos && crlf < lf))
        return std::make_pair(crlf + 4, std::string_view("\r\n"));
    return std::make_pair(lf + 2, std::string_view("\n"));
}

bool ParseRequestLine(std::string_view line, HttpRequest& request) {
    size_t first = line.find(' ');
    size_t last = line.rfind(' ');
    if (first == std::string_view::npos || first == last) return false;
    request.method = std::string(line.substr(0, first));
    request.version = std::string(line.substr(last + 1));
    std::string_view target = line.substr(first + 1, last - first - 1);
    // Only the separators around the target are removed: blanks inside belong to it.
    while (!target.empty() && target.front() == ' ') target.remove_prefix(1);
    request.target = std::string(target);
    if (request.method.empty() || request.target.empty()) return false;
    return request.version.size() >= 6 && request.version.compare(0, 5, "HTTP/") == 0;
}

}  // namespace

std::optional<std::string> HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualsNoCase(key, name)) return value;
    }
    return std::nullopt;
}

std::string HttpRequest::Path() const { return target.substr(0, target.find('?')); }

std::string HttpRequest::Query() const {
    size_t q = target.find('?');
    return q == std::string::npos ? std::string() : target.substr(q + 1);
}

bool HttpRequest::KeepAlive() const {
    std::optional<std::string> connection = Header("Connection");
    if (version == "HTTP/1.0") return connection && EqualsNoCase(Trim(*connection), "keep-alive");
    return !(connection && EqualsNoCase(Trim(*connection), "close"));
}

HeadParse ParseRequestHead(std::string_view buffer) {
    HeadParse result;
    // Blank lines before a request are tolerated (RFC 7230, 3.5).
    size_t skip = 0;
    while (skip < buffer.size() && (buffer[skip] == '\r' || buffer[skip] == '\n')) ++skip;
    std::string_view rest = buffer.substr(skip);

    auto end = FindHeadEnd(rest);
    if (!end) {
        result.status = buffer.size() > kMaxRequestHead ? HeadStatus::TooLarge : HeadStatus::Incomplete;
        return result;
    }
    if (end->first > kMaxRequestHead) {
        result.status = HeadStatus::TooLarge;
        return result;
    }
    result.consumed = skip + end->first;
    std::string_view head = rest.substr(0, end->first);
    std::string_view separator = end->second;

    // Lines are split at the separator only: a long Basic credentials text may carry a
    // bare line feed inside its header value, which must stay part of that value.
    bool first = true;
    while (!head.empty()) {
        size_t eol = head.find(separator);
        std::string_view line = head.substr(0, eol);
        head.remove_prefix(eol == std::string_view::npos ? head.size() : eol + separator.size());
        if (first) {
            if (!ParseRequestLine(line, result.request)) {
                result.status = HeadStatus::Malformed;
                return result;
            }
            first = false;
            continue;
        }
        if (line.empty()) continue;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) continue;  // not a header; ignored
        result.request.headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                                            std::string(Trim(line.substr(colon + 1))));
    }
    result.status = HeadStatus::Complete;
    return result;
}

}  // namespace camsim
