#include "tools/camhost/HostOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace camhost {
namespace {

bool ParseSeconds(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(v >= 0) || v > 86400.0 * 365) return false;
    out = v;
    return true;
}

bool ParseInt(const std::string& text, int low, int high, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

bool ParseRect(const std::string& text, Rect& out) {
    int v[4];
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        size_t comma = text.find(',', pos);
        bool last = i == 3;
        if (last != (comma == std::string::npos)) return false;
        std::string part = text.substr(pos, last ? std::string::npos : comma - pos);
        if (!ParseInt(part, i < 2 ? -32768 : 1, 32767, v[i])) return false;
        pos = comma + 1;
    }
    out = Rect{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    size_t x = text.find('x');
    if (x == std::string::npos) return false;
    int w = 0, h = 0;
    if (!ParseInt(text.substr(0, x), 1, 32767, w) || !ParseInt(text.substr(x + 1), 1, 32767, h)) return false;
    width = w;
    height = h;
    return true;
}

const char* HostUsage() {
    return "Usage: camhost [options]\n"
           "A minimal ActiveX control container: creates controls by ProgID, loads their PARAM values\n"
           "through a property bag, activates them in place in its window and reports what they did.\n"
           "\n"
           "Controls:\n"
           "  --control PROGID        host a control (repeatable); the options below apply to the last one\n"
           "  --param NAME=VALUE      a PARAM of the last control, e.g. URL=..., Uname=..., Pword=..., Stretch=1\n"
           "  --rect X,Y,W,H          place the last control here instead of the page layout\n"
           "  --act SECONDS:click:ID  click the last control's inner control ID at that time, or\n"
           "  --act SECONDS:drag:ID:FROM:TO   drag across it (FROM, TO: 0 = left edge, 1 = right edge)\n"
           "  --page-url URL          the address of the page the controls sit on (for a relative URL)\n"
           "  --grid N                at least N live views (the last one repeated), laid out in a grid\n"
           "  --cell WxH              size of each live view in the grid (default 320x240; 640x480 alone)\n"
           "  --frame-hook on|off     count decoded frames through the live view's image callback\n"
           "                          (default: on with exactly one live view)\n"
           "\n"
           "Run:\n"
           "  --seconds N             leave after N seconds (default 0: when the window is closed)\n"
           "  --screenshot FILE       save the window as a BMP file (repeatable); by default when leaving\n"
           "  --after SECONDS         ... take the last screenshot this long after the start\n"
           "  --every SECONDS         ... and again at this interval, as FILE-001.bmp, FILE-002.bmp, ...\n"
           "  --record AT,SECONDS     press the strip's REC at AT s, answer its dialog, press STOP SECONDS later\n"
           "  --report FILE           write the report to FILE too\n"
           "  --title TEXT            the window's title\n"
           "  --help                  this text\n";
}

bool ParseHostOptions(const std::vector<std::string>& args, HostOptions& out, std::string& error) {
    out = HostOptions();
    auto bad = [&error](const std::string& message) {
        error = message;
        return false;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& opt = args[i];
        if (opt == "--help" || opt == "-h" || opt == "/?") {
            out.help = true;
            continue;
        }
        if (i + 1 >= args.size())
            return bad(opt.rfind("--", 0) == 0 ? opt + " needs a value" : "unknown argument " + opt);
        const std::string& value = args[++i];
        if (opt == "--control") {
            if (value.empty()) return bad("--control needs a ProgID");
            ControlSpec spec;
            spec.progId = value;
            out.controls.push_back(spec);
        } else if (opt == "--act") {
            UserAction action;
            if (out.controls.empty()) return bad("--act comes after a --control");
            if (!ParseUserAction(value, action))
                return bad("--act needs SECONDS:click:ID or SECONDS:drag:ID:FROM:TO: " + value);
            out.controls.back().actions.push_back(action);
        } else if (opt == "--param" || opt == "--rect") {
            if (out.controls.empty()) return bad(opt + " comes after a --control");
            ControlSpec& c = out.controls.back();
            if (opt == "--param") {
                size_t eq = value.find('=');
                if (eq == std::string::npos || eq == 0) return bad("--param needs NAME=VALUE: " + value);
                c.params.emplace_back(value.substr(0, eq), value.substr(eq + 1));
            } else {
                if (!ParseRect(value, c.rect))
                    return bad("--rect needs X,Y,W,H with a positive width and height: " + value);
                c.hasRect = true;
            }
        } else if (opt == "--page-url") {
            out.pageUrl = value;
        } else if (opt == "--grid") {
            if (!ParseInt(value, 1, 64, out.grid)) return bad("--grid needs a number from 1 to 64: " + value);
        } else if (opt == "--cell") {
            if (!ParseSize(value, out.cellWidth, out.cellHeight)) return bad("--cell needs WxH: " + value);
        } else if (opt == "--frame-hook") {
            if (value != "on" && value != "off") return bad("--frame-hook takes on or off: " + value);
            out.frameHook = value == "on" ? 1 : 0;
        } else if (opt == "--seconds") {
            if (!ParseSeconds(value, out.seconds)) return bad("--seconds needs a number of seconds: " + value);
        } else if (opt == "--screenshot") {
            if (value.empty()) return bad("--screenshot needs a file name");
            ScreenshotSpec s;
            s.file = value;
            out.screenshots.push_back(s);
        } else if (opt == "--after" || opt == "--every") {
            if (out.screenshots.empty()) return bad(opt + " comes after a --screenshot");
            double v = 0;
            if (!ParseSeconds(value, v) || (opt == "--every" && v < 0.05))
                return bad(opt + " needs a number of seconds" + (opt == "--every" ? " (at least 0.05)" : "") + ": " +
                           value);
            (opt == "--after" ? out.screenshots.back().after : out.screenshots.back().every) = v;
        } else if (opt == "--record") {
            const size_t comma = value.find(',');
            if (comma == std::string::npos || !ParseSeconds(value.substr(0, comma), out.recordAt) ||
                !ParseSeconds(value.substr(comma + 1), out.recordFor) || out.recordFor <= 0)
                return bad("--record needs AT,SECONDS: " + value);
        } else if (opt == "--report") {
            out.reportFile = value;
        } else if (opt == "--title") {
            out.title = value;
        } else {
            return bad("unknown option " + opt);
        }
    }
    for (const ScreenshotSpec& s : out.screenshots)
        if (s.every > 0 && s.after < 0) return bad("--every needs an --after for " + s.file);
    if (!out.help && out.controls.empty()) return bad("no --control given");
    return true;
}

}  // namespace camhost
