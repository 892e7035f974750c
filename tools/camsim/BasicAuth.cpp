#include "tools/camsim/BasicAuth.h"

#include <cctype>
#include <cstdint>

namespace camsim {
namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    std::string out;
    uint32_t bits = 0;
    int bitCount = 0;
    int symbols = 0;
    int padding = 0;
    for (char c : text) {
        if (IsBlank(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        if (padding > 0) return std::nullopt;  // data after padding
        int v = Base64Value(c);
        if (v < 0) return std::nullopt;
        ++symbols;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out.push_back(static_cast<char>((bits >> bitCount) & 0xFF));
        }
    }
    // A group of four symbols may end in one or two "=", never leave a single symbol.
    if (symbols % 4 == 1 || padding > 2) return std::nullopt;
    if (padding > 0 && (symbols + padding) % 4 != 0) return std::nullopt;
    return out;
}

bool BasicAuthorizationMatches(std::string_view headerValue, const Credentials& expected) {
    size_t i = 0;
    while (i < headerValue.size() && IsBlank(headerValue[i])) ++i;
    static constexpr std::string_view kScheme = "basic";
    if (headerValue.size() - i < kScheme.size() + 1) return false;
    for (size_t k = 0; k < kScheme.size(); ++k) {
        if (std::tolower(static_cast<unsigned char>(headerValue[i + k])) != kScheme[k]) return false;
    }
    i += kScheme.size();
    if (!IsBlank(headerValue[i])) return false;
    std::optional<std::string> decoded = DecodeBase64(headerValue.substr(i));
    if (!decoded) return false;
    return *decoded == expected.user + ":" + expected.password;
}

}  // namespace camsim
