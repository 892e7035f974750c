#pragma once
// The three picture sizes of the camera and the fill thresholds the worker keeps per size.
#include <cstdint>

namespace qern {

// 0 = 640 x 480, 1 = 320 x 240, 2 = 176 x 144, 3 = not yet known.
enum FrameMode : int32_t { kMode640 = 0, kMode320 = 1, kMode176 = 2, kModeUnknown = 3 };
constexpr int kModeCount = 3;

struct FrameSize {
    int32_t width;
    int32_t height;
};

// Width and height of a known mode; {0, 0} for kModeUnknown or anything else.
FrameSize ModeSize(int32_t mode);
// The mode of a picture, recognised by its width alone; kModeUnknown for other widths.
int32_t ModeFromWidth(uint32_t width);
bool IsKnownMode(int32_t mode);

// Bytes the stream session keeps buffered before a frame is parsed, per mode. Parts without a
// length need the mode's cap buffered to arrive whole; a part that declares its length is
// completed by the session itself, so then a part header's worth is enough and a frame is
// decoded as soon as its last byte is in, not once some of the next one has come too. A frame
// that was still short when decoded raises its mode's limit once by the shortfall; the next
// frame sets it back.
class FillLimits {
public:
    static constexpr int32_t kCap640 = 50000;
    static constexpr int32_t kCap320 = 18000;
    static constexpr int32_t kCap176 = 10000;

    static int32_t Cap(int32_t mode);
    // The limit of a known mode (0 for kModeUnknown).
    int32_t Limit(int32_t mode) const;
    // Enough for the headers of the next part.
    static constexpr int32_t kHeaderBytes = 1000;

    // After a frame of `mode`: the limit for the next one, to be set as the threshold; the cap,
    // or kHeaderBytes when the part declared its length.
    int32_t AfterFrame(int32_t mode, bool lengthDeclared = false);
    // Raises the mode's limit by `missing` bytes (saturating); returns the new limit.
    int32_t AddShortfall(int32_t mode, int32_t missing);

private:
    int32_t m_limits[kModeCount] = {kCap640, kCap320, kCap176};
};

}  // namespace qern