#include "tests/support/Camsim.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qern {

namespace test {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Programs under Wine open the log by its Windows name.
#ifdef _WIN32
const char* const kRequestLog = "QERN_CAMSIM_LOG_WIN";
#else
const char* const kRequestLog = "QERN_CAMSIM_LOG";
#endif

}  // namespace

int CamsimPort() { return std::atoi(Env("QERN_CAMSIM_PORT").c_str()); }
std::string CamsimUrl(const std::string& path) { return "http://127.0.0.1:" + std::to_string(CamsimPort()) + path; }
std::string CamsimRequestLog() {
    std::ifstream in(Env(kRequestLog), std::ios::binary);  // none without a simulator: empty
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> CamsimRequestsSince(size_t& mark, bool withConnection) {
    std::istringstream log(CamsimRequestLog());
    std::vector<std::string> lines;
    std::string line;
    size_t i = 0;
    for (; std::getline(log, line); ++i) {
        if (i < mark || line.find("/video.cgi") != std::string::npos || line.find("/audio.cgi") != std::string::npos)
            continue;
        lines.push_back(withConnection ? line : line.substr(line.find(' ') + 1));
    }
    mark = i;
    return lines;
}
std::string CamsimSetup() { return Env("QERN_CAMSIM_SETUP"); }

}  // namespace test

}  // namespace qern
