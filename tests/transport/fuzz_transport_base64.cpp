// Base64 of arbitrary bytes: one line, the right length, decodes back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transport/Base64.h"

namespace {
int Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = Base64Encode(data, size);
  if (text.size() != (size + 2) / 3 * 4) __builtin_trap();
  std::string back;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    const int v = Value(c);
    if (v < 0) __builtin_trap();  // also catches a line break
    acc = (acc << 6) | uint32_t(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      back += char((acc >> bits) & 0xFF);
    }
  }
  if (back != std::string(reinterpret_cast<const char*>(data), size)) __builtin_trap();
  const std::string user(reinterpret_cast<const char*>(data), size / 2);
  const std::string password(reinterpret_cast<const char*>(data) + size / 2, size - size / 2);
  const std::string credentials = MakeBasicCredentials(user.c_str(), password.c_str());
  if (credentials.find('\n') != std::string::npos) __builtin_trap();
  return 0;
}
