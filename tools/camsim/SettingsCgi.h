#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "tools/camsim/SettingsState.h"

namespace camsim {

// The longest whole reply a settings client reads with its single receive.
constexpr size_t kMaxSettingsReply = 200;
constexpr size_t kMaxImageSettingsReply = 1024;

struct CgiReply {
    int status = 200;
    std::string body;
};

// Answers the settings CGIs: the setters "/imagectrl.cgi" (Resl, Brne, Cont, Sarn,
// Nhue) and "/DVRctrl.cgi" (TimeD, PathD), and the readers "/Rdimagectrl.cgi",
// "/RdDVRctrl.cgi" and "/RdPTctrl.cgi". Nothing for any other path.
// A setter changes nothing unless every key=value pair in its query is valid.
std::optional<CgiReply> HandleSettingsCgi(std::string_view path, std::string_view query, SettingsState& state);

// A starting value "KEY=VALUE" for any key the readers report (Nhue and Nhum both name the hue,
// PathD takes text); false for an unknown key or a value out of its range.
bool ApplyStartSetting(CameraSettings& settings, std::string_view assignment);

std::string ImageSettingsText(const CameraSettings& settings);     // the "/Rdimagectrl.cgi" body
std::string RecorderSettingsText(const CameraSettings& settings);  // the "/RdDVRctrl.cgi" body
std::string IrStateText(const CameraSettings& settings);           // the "/RdPTctrl.cgi" body

}  // namespace camsim
