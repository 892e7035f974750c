// Base64 of arbitrary bytes: one line, the right length, decodes back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transport/Base64.h"

namespace {

// Decodes up to the first "="; false when a character is outside the alphabet (a line break included).
bool Base64Decode(const std::string& text, std::string& out) {
  static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.clear();
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    const size_t v = alphabet.find(c);
    if (v == std::string::npos) return false;
    acc = (acc << 6) | uint32_t(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += char((acc >> bits) & 0xFF);
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = Base64Encode(data, size);
  if (text.size() != (size + 2) / 3 * 4) __builtin_trap();
  std::string back;
  if (!Base64Decode(text, back)) __builtin_trap();  // also catches a line break
  if (back != std::string(reinterpret_cast<const char*>(data), size)) __builtin_trap();
  const std::string user(reinterpret_cast<const char*>(data), size / 2);
  const std::string password(reinterpret_cast<const char*>(data) + size / 2, size - size / 2);
  const std::string credentials = MakeBasicCredentials(user.c_str(), password.c_str());
  if (credentials.find('\n') != std::string::npos) __builtin_trap();
  return 0;
}
