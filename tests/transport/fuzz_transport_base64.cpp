// Base64 and Basic credentials of arbitrary bytes against a plain encoder: one line, padded, exact.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "transport/Base64.h"

namespace {

std::string Reference(const std::string& in) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        const size_t n = std::min<size_t>(3, in.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k) v = v << 8 | (k < n ? uint8_t(in[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k) out += k <= n ? alphabet[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (qern::Base64Encode(data, size) != Reference(bytes)) __builtin_trap();
    const std::string user = bytes.substr(0, size / 2).c_str(), password = bytes.substr(size / 2).c_str();
    if (qern::MakeBasicCredentials(user.c_str(), password.c_str()) != Reference(user + ":" + password))
        __builtin_trap();
    return 0;
}
