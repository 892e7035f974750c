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
  LiveFrameSource(const JpegSettings& jpeg, const FaultPlan& faults) : encoder_(jpeg), faults_(faults) {}
  JpegData Frame(uint64_t index, const CameraSettings& settings) override;

 private:
  JpegEncoder encoder_;
  FaultPlan faults_;
  std::map<int, TestPicture> pictures_;  // by width
  std::vector<uint8_t> rgb_;
};

// The JPEG files of a folder, read once, sent in name order and over again.
class FileFrames {
 public:
  // Files ending in .jpg or .jpeg (any case). Fails with a message when the folder
  // cannot be read or holds none.
  bool Load(const std::string& folder, std::string& error);
  size_t Count() const { return frames_.size(); }
  JpegData At(uint64_t index) const { return frames_.empty() ? nullptr : frames_[index % frames_.size()]; }

 private:
  std::vector<JpegData> frames_;
};

class FileFrameSource : public FrameSource {
 public:
  explicit FileFrameSource(const FileFrames& frames) : frames_(frames) {}
  JpegData Frame(uint64_t index, const CameraSettings&) override { return frames_.At(index); }

 private:
  const FileFrames& frames_;
};

}  // namespace camsim
