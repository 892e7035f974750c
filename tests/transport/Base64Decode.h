// An independent Base64 decoder for checking the encoder's output.
#pragma once

#include <cstdint>
#include <string>

// Decodes up to the first "="; false when a character is outside the alphabet
// (a line break included).
inline bool Base64Decode(const std::string& text, std::string& out) {
  out.clear();
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    int v;
    if (c >= 'A' && c <= 'Z') {
      v = c - 'A';
    } else if (c >= 'a' && c <= 'z') {
      v = c - 'a' + 26;
    } else if (c >= '0' && c <= '9') {
      v = c - '0' + 52;
    } else if (c == '+' || c == '/') {
      v = c == '+' ? 62 : 63;
    } else {
      return false;
    }
    acc = (acc << 6) | uint32_t(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += char((acc >> bits) & 0xFF);
    }
  }
  return true;
}
