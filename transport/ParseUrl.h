// Splits a URL of the form [scheme://][user:password@]host[:port][/path].
#pragma once

#include <string>
#include <string_view>

struct ParsedUrl {
  std::string scheme;    // "http" when the URL has none
  std::string user;      // empty unless the URL has "user:password@"
  std::string password;
  std::string host;
  int port = 0;          // the scheme's default (443 https, 21 ftp, 80 otherwise) when none is given
  std::string path;      // "/" when the URL has none
};

// Never fails: every URL splits into some parts. A port text is read like atoi
// (leading blanks, a sign, digits up to the first non-digit) but saturates
// instead of overflowing.
ParsedUrl ParseUrl(std::string_view url);
