#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/camsim/Faults.h"
#include "tools/camsim/JpegEncoder.h"
#include "tools/camsim/SettingsState.h"
#include "tools/camsim/TestPicture.h"

namespace camsim {

using JpegData = std::shared_ptr<const std::vector<uint8_t>>;

// Where the JPEG frames of one video connection come from.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Frame `index` of the connection, given the camera's settings at that moment.
    // Null when no frame can be made.
    virtual JpegData Frame(uint64_t index, const CameraSettings& settings) = 0;
};

// Encodes the test picture live, at the size the settings (or the size cycle) ask for.
class LiveFrameSource : public FrameSource {
public:
    LiveFrameSource(const JpegSettings& jpeg, const FaultPlan& faults) : m_encoder(jpeg), m_faults(faults) {}
    JpegData Frame(uint64_t index, const CameraSettings& settings) override;

private:
    JpegEncoder m_encoder;
    FaultPlan m_faults;
    std::map<int, TestPicture> m_pictures;  // by width
    std::vector<uint8_t> m_rgb;
};

// The JPEG files of a folder, read once, sent in name order and over again.
class FileFrames {
public:
    // Files ending in .jpg or .jpeg (any case). Fails with a message when the folder
    // cannot be read or holds none.
    bool Load(const std::string& folder, std::string& error);
    size_t Count() const { return m_frames.size(); }
    JpegData At(uint64_t index) const { return m_frames.empty() ? nullptr : m_frames[index % m_frames.size()]; }

private:
    std::vector<JpegData> m_frames;
};

class FileFrameSource : public FrameSource {
public:
    explicit FileFrameSource(const FileFrames& frames) : m_frames(frames) {}
    JpegData Frame(uint64_t index, const CameraSettings&) override { return m_frames.At(index); }

private:
    const FileFrames& m_frames;
};

}  // namespace camsim
