// The three reply parsers on arbitrary bytes: every value they hand out is a piece of the reply.
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/SettingsReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply = qern::ReplyText(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"Resl", "Cont", "Nhum", "DvrTime :"}) {
        int32_t out = -1;
        if (!qern::ParseNumber(reply, key, out) && out != -1) __builtin_trap();
    }
    std::string path = "unchanged";
    if (qern::ParseText(reply, "DvrPath :", path)) {
        if (path.size() >= qern::kRecordPathSize || path.find('.') != std::string::npos) __builtin_trap();
        if (reply.find(path) == std::string_view::npos) __builtin_trap();
    } else if (path != "unchanged") {
        __builtin_trap();
    }
    if (qern::ParseIrFlag(reply) && reply.find("IR_set:1") == std::string_view::npos) __builtin_trap();
    return 0;
}
