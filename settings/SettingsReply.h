#pragma once
// Reading the camera's settings replies and building its settings requests. Platform-free.
//
// A reply is the bytes of one receive (status line and headers included); each setting stands
// in it as its key, a space, its value and a full stop. Values that do not fit are refused,
// never cut: a refused value leaves the caller's field as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qern {

// Longest request target the camera takes (its request buffer holds one byte more).
constexpr size_t kMaxRequestPath = 255;
// Size of the record path field, terminator included.
constexpr size_t kRecordPathSize = 260;
// Longest user name or password (their fields hold one byte more).
constexpr size_t kMaxCredential = 31;

// The reply as text: the bytes received, ended at the first zero byte.
std::string_view ReplyText(const char* bytes, size_t count);

// key, at least one space, a number and a full stop. The first occurrence of key that is followed
// by a space counts ("Cont" never matches inside "Content-Length"). The value's integer part
// (truncated toward zero) goes to out; a value that is no number gives 0. Nothing changes when
// the key is missing, has no full stop after its value, or the value is beyond 32 bits.
// Returns whether out was written.
bool ParseNumber(std::string_view reply, std::string_view key, int32_t& out);

// The first occurrence of key, any spaces, then the text up to the next full stop into out.
// Nothing changes when the key or the full stop is missing, or when the text would not fit
// kRecordPathSize with its terminator. Returns whether out was written.
bool ParseText(std::string_view reply, std::string_view key, std::string& out);

// "IR_set:" directly followed by the digit 1.
bool ParseIrFlag(std::string_view reply);

// "/cgi.cgi?key=value" for a number or a text; false (and path empty) when the result would be
// longer than kMaxRequestPath or the text holds a byte that would end or split the request line.
bool FormatSettingPath(std::string_view cgi, std::string_view key, int32_t value, std::string& path);
bool FormatSettingPath(std::string_view cgi, std::string_view key, std::string_view text, std::string& path);

}  // namespace qern