#include "tools/camsim/HttpReply.h"

namespace camsim {

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Error";
    }
}

namespace {

std::string Reply(int status, std::string_view extraHeaders, std::string_view body, bool keepAlive) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
    out += extraHeaders;
    out += "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    if (!keepAlive) out += "Connection: close\r\n";
    out += "\r\n";
    out += body;
    return out;
}

}  // namespace

std::string TextReply(int status, std::string_view body, bool keepAlive) { return Reply(status, {}, body, keepAlive); }

std::string UnauthorizedReply(std::string_view realm, bool keepAlive) {
    std::string challenge = "WWW-Authenticate: Basic realm=\"" + std::string(realm) + "\"\r\n";
    return Reply(401, challenge, "Unauthorized\r\n", keepAlive);
}

std::string StreamHead(std::string_view contentType) {
    return "HTTP/1.0 200 OK\r\nContent-Type: " + std::string(contentType) +
           "\r\nCache-Control: no-cache\r\nPragma: no-cache\r\nConnection: close\r\n\r\n";
}

}  // namespace camsim
