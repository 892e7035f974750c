#include "tools/camhost/UserAction.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace camhost {
namespace {

bool Number(const std::string& text, double low, double high, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && out >= low && out <= high;
}

}  // namespace

bool ParseUserAction(const std::string& text, UserAction& out) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
    UserAction a;
    double id = 0;
    if (parts.size() < 3 || !Number(parts[0], 0, 1e6, a.at) || !Number(parts[2], 1, 65535, id) ||
        id != static_cast<int>(id))
        return false;
    a.controlId = static_cast<int>(id);
    if (parts[1] == "click" && parts.size() == 3) {
        out = a;
        return true;
    }
    if (parts[1] != "drag" || parts.size() != 5 || !Number(parts[3], 0, 1, a.from) || !Number(parts[4], 0, 1, a.to))
        return false;
    a.drag = true;
    out = a;
    return true;
}

}  // namespace camhost
