// Base64 of arbitrary bytes: one line, the right length, decodes back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Base64Decode.h"
#include "transport/Base64.h"

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
