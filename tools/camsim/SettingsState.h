#pragma once
#include <mutex>
#include <string>

#include "tools/camsim/ColourAdjust.h"
#include "tools/camsim/VideoSize.h"

namespace camsim {

// Everything the camera remembers of its settings.
struct CameraSettings {
    int resl = 1;  // 1 = 640x480, 2 = 320x240, 3 = 176x144
    int ligt = 0;
    int frte = 25;
    int auex = 1;
    int auwb = 1;
    int shap = 3;
    int freq = 50;
    int mirr = 0;
    int vflp = 0;
    PictureControls picture;
    int dvrTime = 30;  // minutes
    std::string dvrPath = "c:\\QERN\\REC\\";
    int irSet = 0;

    VideoSize Size() const { return SizeFromResl(resl).value_or(VideoSize{}); }
};

// Shared by every connection: a settings request on one connection changes the
// picture of the video streams on the others.
class SettingsState {
public:
    explicit SettingsState(const CameraSettings& initial = {}) : m_settings(initial) {}

    CameraSettings Snapshot() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_settings;
    }

    template <typename Change>
    void Update(Change&& change) {
        std::lock_guard<std::mutex> lock(m_mutex);
        change(m_settings);
    }

private:
    mutable std::mutex m_mutex;
    CameraSettings m_settings;
};

}  // namespace camsim
