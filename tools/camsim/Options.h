#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/camsim/AudioSource.h"
#include "tools/camsim/Faults.h"
#include "tools/camsim/JpegEncoder.h"
#include "tools/camsim/VideoSize.h"

namespace camsim {

struct Options {
    std::string bindAddress = "127.0.0.1";
    int port = 8080;       // 0 picks a free port
    std::string portFile;  // the port actually used is written here
    std::string user = "admin";
    std::string password = "admin";
    std::string realm = "camsim";
    int fps = 25;
    VideoSize size;
    JpegSettings jpeg;
    std::string framesDir;
    bool noStamp = false;
    bool exactStamps = false;
    std::optional<uint32_t> startTime;  // seconds since 1970 of frame 0 with --exact-stamps
    int irState = 0;
    std::vector<std::string> startSettings;  // "KEY=VALUE", applied in order
    std::string requestLog;
    std::string frameLog;
    AudioSettings audio;
    FaultPlan faults;
    bool help = false;
};

// Parses the command line (without the program name). "--name value" and
// "--name=value" are both accepted. On failure returns nothing and sets error.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

std::string UsageText();

}  // namespace camsim
