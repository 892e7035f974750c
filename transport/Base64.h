// Base64 (RFC 4648, standard alphabet, "=" padding) for HTTP Basic credentials.
// Every call returns its own string: nothing is shared between calls or threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qern {

// The encoding of size bytes, on one line (no line breaks).
std::string Base64Encode(const uint8_t* data, size_t size);
// The encoding of a text up to its terminating zero.
std::string Base64Encode(const char* text);

// Base64 of "user:password", ready for "Authorization: Basic ". A null user or
// password counts as empty. Bytes of 0x80 and above are encoded as they are.
std::string MakeBasicCredentials(const char* user, const char* password);

}  // namespace qern
