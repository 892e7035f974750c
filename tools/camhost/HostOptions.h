#pragma once
// The command line of camhost: which controls to host, their PARAM values, the page they sit on,
// how long to run and when to take pictures of the window.
#include <string>
#include <utility>
#include <vector>

#include "tools/camhost/UserAction.h"

namespace camhost {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct ControlSpec {
    std::string progId;
    // Name/value pairs in the order given, as a page's PARAM tags list them.
    std::vector<std::pair<std::string, std::string>> params;
    bool hasRect = false;
    Rect rect;
    std::vector<UserAction> actions;
};

struct ScreenshotSpec {
    std::string file;
    double after = -1;  // seconds after start; negative: when the host leaves
    double every = 0;   // > 0: again at this interval, files numbered
};

struct HostOptions {
    std::vector<ControlSpec> controls;
    std::string pageUrl;
    double seconds = 0;  // 0: until the window is closed
    std::vector<ScreenshotSpec> screenshots;
    int grid = 0;                       // > 0: at least this many live views, laid out in a grid
    int cellWidth = 0, cellHeight = 0;  // 0: the layout's default
    int frameHook = -1;                 // -1: on with exactly one live view; 0 off; 1 on
    double recordAt = -1;               // >= 0: press the strip's "REC" this many seconds after the start
    double recordFor = 0;               // ... and "STOP" this many seconds later
    std::string reportFile;
    std::string title = "camhost";
    bool help = false;
};

// Parses the arguments after the program name. Returns false with a message on a bad command line.
bool ParseHostOptions(const std::vector<std::string>& args, HostOptions& out, std::string& error);
const char* HostUsage();

// "Rect" text "X,Y,W,H" and size text "WxH".
bool ParseRect(const std::string& text, Rect& out);
bool ParseSize(const std::string& text, int& width, int& height);

}  // namespace camhost
