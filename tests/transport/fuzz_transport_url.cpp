// ParseUrl on arbitrary text: every part must be a piece of the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string url(reinterpret_cast<const char*>(data), size);
    const qern::ParsedUrl parts = qern::ParseUrl(url);
    for (const std::string* p : {&parts.user, &parts.password, &parts.host}) {
        if (!p->empty() && url.find(*p) == std::string::npos) __builtin_trap();
    }
    if (parts.path != "/" && url.find(parts.path) == std::string::npos) __builtin_trap();
    if (parts.path.empty() || parts.path[0] != '/') __builtin_trap();
    return 0;
}
