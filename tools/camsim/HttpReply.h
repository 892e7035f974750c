#pragma once
#include <string>
#include <string_view>

namespace camsim {

// Short replies, each built whole so it goes out in one send: a settings client reads
// its reply with a single receive.
std::string TextReply(int status, std::string_view body, bool keepAlive);
std::string UnauthorizedReply(std::string_view realm, bool keepAlive);

// The head of a streamed response (video or audio): HTTP/1.0, no length, closed at the end.
std::string StreamHead(std::string_view contentType);

const char* ReasonPhrase(int status);

}  // namespace camsim
