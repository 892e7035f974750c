#include "tools/camsim/SettingsCgi.h"

#include <charconv>
#include <vector>

#include "tools/camsim/HttpReply.h"

namespace camsim {
namespace {

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::string Item(std::string_view key, const std::string& value) { return std::string(key) + " " + value + ".\r\n"; }

std::vector<std::pair<std::string_view, std::string_view>> SplitQuery(std::string_view query) {
    std::vector<std::pair<std::string_view, std::string_view>> pairs;
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
        size_t eq = pair.find('=');
        if (eq == std::string_view::npos) {
            pairs.emplace_back(pair, std::string_view());
        } else {
            pairs.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
        }
    }
    return pairs;
}

CgiReply Bad(std::string text) { return CgiReply{400, text + "\r\n"}; }

// The hue is set as "Nhue" and read back as "Nhum"; the picture controls live in
// PictureControls, so they are reached through small accessors.
int& PictureField(CameraSettings& s, std::string_view key) {
    if (key == "Brne") return s.picture.brightness;
    if (key == "Cont") return s.picture.contrast;
    if (key == "Sarn") return s.picture.saturation;
    return s.picture.hue;
}

CgiReply SetImage(std::string_view query, SettingsState& state) {
    struct Range {
        std::string_view key;
        int min, max;
    };
    static constexpr Range kRanges[] = {
        {"Resl", 1, 3}, {"Brne", 1, 7}, {"Cont", 1, 11}, {"Sarn", 1, 11}, {"Nhue", 1, 99}};
    std::vector<std::pair<std::string_view, int>> changes;
    for (auto [key, text] : SplitQuery(query)) {
        const Range* range = nullptr;
        for (const Range& r : kRanges) {
            if (r.key == key) range = &r;
        }
        if (!range) return Bad("Unknown key " + std::string(key));
        std::optional<int> value = ParseInt(text);
        if (!value || *value < range->min || *value > range->max) return Bad("Bad value for " + std::string(key));
        changes.emplace_back(key, *value);
    }
    if (changes.empty()) return Bad("No setting given");
    std::string body;
    state.Update([&](CameraSettings& s) {
        for (auto [key, value] : changes) {
            if (key == "Resl")
                s.resl = value;
            else
                PictureField(s, key) = value;
            body += Item(key, std::to_string(value));
        }
    });
    return CgiReply{200, body};
}

CgiReply SetRecorder(std::string_view query, SettingsState& state) {
    std::optional<int> time;
    std::optional<std::string> path;
    while (!query.empty()) {
        // A folder goes in as sent, "&" included, so PathD takes the rest of the query.
        if (query.substr(0, 6) == "PathD=") {
            path = std::string(query.substr(6));
            break;
        }
        size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
        if (pair.substr(0, 6) != "TimeD=") return Bad("Unknown key " + std::string(pair.substr(0, pair.find('='))));
        time = ParseInt(pair.substr(6));
        // The reader keeps four characters of a value.
        if (!time || *time < 0 || *time > 9999) return Bad("Bad value for TimeD");
    }
    if (!time && !path) return Bad("No setting given");

    bool fits = true;
    std::string body;
    state.Update([&](CameraSettings& s) {
        CameraSettings proposed = s;
        if (time) proposed.dvrTime = *time;
        if (path) proposed.dvrPath = *path;
        // The recorder settings must still come back whole in one short reply.
        fits = TextReply(200, RecorderSettingsText(proposed), true).size() <= kMaxSettingsReply;
        if (!fits) return;
        s = proposed;
        if (time) body += Item("DvrTime :", std::to_string(*time));
        if (path) body += Item("DvrPath :", *path);
    });
    if (!fits) return Bad("PathD too long");
    return CgiReply{200, body};
}

}  // namespace

bool ApplyStartSetting(CameraSettings& s, std::string_view assignment) {
    const size_t eq = assignment.find('=');
    if (eq == std::string_view::npos) return false;
    const std::string_view key = assignment.substr(0, eq), text = assignment.substr(eq + 1);
    if (key == "PathD") {
        s.dvrPath = std::string(text);
        return TextReply(200, RecorderSettingsText(s), true).size() <= kMaxSettingsReply;
    }
    struct Field {
        std::string_view key;
        int CameraSettings::*plain;
        int PictureControls::*picture;
        int min, max;
    };
    static constexpr Field kFields[] = {
        {"Resl", &CameraSettings::resl, nullptr, 1, 3},         {"Ligt", &CameraSettings::ligt, nullptr, 0, 9999},
        {"Frte", &CameraSettings::frte, nullptr, 0, 9999},      {"Auex", &CameraSettings::auex, nullptr, 0, 9999},
        {"Auwb", &CameraSettings::auwb, nullptr, 0, 9999},      {"Shap", &CameraSettings::shap, nullptr, 0, 9999},
        {"Freq", &CameraSettings::freq, nullptr, 0, 9999},      {"Mirr", &CameraSettings::mirr, nullptr, 0, 9999},
        {"Vflp", &CameraSettings::vflp, nullptr, 0, 9999},      {"TimeD", &CameraSettings::dvrTime, nullptr, 0, 9999},
        {"Brne", nullptr, &PictureControls::brightness, 1, 7},  {"Cont", nullptr, &PictureControls::contrast, 1, 11},
        {"Sarn", nullptr, &PictureControls::saturation, 1, 11}, {"Nhue", nullptr, &PictureControls::hue, 1, 99},
        {"Nhum", nullptr, &PictureControls::hue, 1, 99},
    };
    const std::optional<int> value = ParseInt(text);
    for (const Field& f : kFields) {
        if (f.key != key) continue;
        if (!value || *value < f.min || *value > f.max) return false;
        (f.plain ? s.*(f.plain) : s.picture.*(f.picture)) = *value;
        return true;
    }
    return false;
}

std::string ImageSettingsText(const CameraSettings& s) {
    const std::pair<const char*, int> items[] = {
        {"Resl", s.resl},
        {"Ligt", s.ligt},
        {"Frte", s.frte},
        {"Auex", s.auex},
        {"Auwb", s.auwb},
        {"Shap", s.shap},
        {"Nhum", s.picture.hue},
        {"Brne", s.picture.brightness},
        {"Cont", s.picture.contrast},
        {"Sarn", s.picture.saturation},
        {"Freq", s.freq},
        {"Mirr", s.mirr},
        {"Vflp", s.vflp},
    };
    std::string body;
    for (const auto& [key, value] : items) body += Item(key, std::to_string(value));
    return body;
}

std::string RecorderSettingsText(const CameraSettings& s) {
    return Item("DvrTime :", std::to_string(s.dvrTime)) + Item("DvrPath :", s.dvrPath);
}

std::string IrStateText(const CameraSettings& s) { return "IR_set:" + std::to_string(s.irSet ? 1 : 0) + "\r\n"; }

std::optional<CgiReply> HandleSettingsCgi(std::string_view path, std::string_view query, SettingsState& state) {
    if (path == "/imagectrl.cgi") return SetImage(query, state);
    if (path == "/DVRctrl.cgi") return SetRecorder(query, state);
    if (path == "/Rdimagectrl.cgi") return CgiReply{200, ImageSettingsText(state.Snapshot())};
    if (path == "/RdDVRctrl.cgi") return CgiReply{200, RecorderSettingsText(state.Snapshot())};
    if (path == "/RdPTctrl.cgi") return CgiReply{200, IrStateText(state.Snapshot())};
    return std::nullopt;
}

}  // namespace camsim
