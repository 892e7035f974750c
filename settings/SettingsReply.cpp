#include "settings/SettingsReply.h"

#include <cmath>
#include <cstdlib>

namespace qern {

std::string_view ReplyText(const char* bytes, size_t count) {
    if (!bytes) return {};
    std::string_view text(bytes, count);
    return text.substr(0, text.find('\0'));
}

bool ParseNumber(std::string_view reply, std::string_view key, int32_t& out) {
    if (key.empty()) return false;
    size_t at = reply.find(key);
    while (at != std::string_view::npos && (at + key.size() >= reply.size() || reply[at + key.size()] != ' '))
        at = reply.find(key, at + key.size());
    if (at == std::string_view::npos) return false;
    size_t begin = at + key.size();
    while (begin < reply.size() && reply[begin] == ' ') ++begin;
    const size_t stop = reply.find('.', begin);
    if (stop == std::string_view::npos) return false;  // cut off before its end
    // The value runs to the full stop, so it never has a fraction.
    const std::string value(reply.substr(begin, stop - begin));
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || !std::isfinite(number)) {
        out = 0;
        return true;
    }
    const double whole = std::trunc(number);
    if (whole < -2147483648.0 || whole > 2147483647.0) return false;
    out = static_cast<int32_t>(whole);
    return true;
}

bool ParseText(std::string_view reply, std::string_view key, std::string& out) {
    if (key.empty()) return false;
    const size_t at = reply.find(key);
    if (at == std::string_view::npos) return false;
    size_t begin = at + key.size();
    while (begin < reply.size() && reply[begin] == ' ') ++begin;
    const size_t stop = reply.find('.', begin);
    if (stop == std::string_view::npos || stop - begin >= kRecordPathSize) return false;
    out.assign(reply.substr(begin, stop - begin));
    return true;
}

bool ParseIrFlag(std::string_view reply) {
    static constexpr std::string_view kKey = "IR_set:";
    const size_t at = reply.find(kKey);
    return at != std::string_view::npos && at + kKey.size() < reply.size() && reply[at + kKey.size()] == '1';
}

namespace {

bool Compose(std::string_view cgi, std::string_view key, std::string_view value, std::string& path) {
    path.clear();
    std::string text = "/";
    text.append(cgi).append(".cgi?").append(key).append("=").append(value);
    if (text.size() > kMaxRequestPath) return false;
    for (char c : text) {
        // A space, CR, LF or zero would end the request target or split the request.
        if (c == ' ' || c == '\r' || c == '\n' || c == '\0') return false;
    }
    path = std::move(text);
    return true;
}

}  // namespace

bool FormatSettingPath(std::string_view cgi, std::string_view key, int32_t value, std::string& path) {
    return Compose(cgi, key, std::to_string(value), path);
}

bool FormatSettingPath(std::string_view cgi, std::string_view key, std::string_view text, std::string& path) {
    return Compose(cgi, key, text, path);
}

}  // namespace qern