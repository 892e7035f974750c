// The frame-size reader and the record name on arbitrary bytes: no read outside the frame, a size
// only from a frame header within it, and a name that always fits its buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "recording/JpegFrameSize.h"
#include "recording/RecordName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> frame(data, data + size);  // exact bounds for the sanitizer
    int32_t width = -1, height = -1;
    if (qern::JpegFrameSize::Read(frame.data(), frame.size(), &width, &height) &&
        (width < 0 || width > 65535 || height < 0 || height > 65535))
        __builtin_trap();

    qern::CameraTime time;
    std::memcpy(&time, data, size < sizeof time ? size : sizeof time);
    std::vector<char> name(24, 'x');
    qern::RecordName::Format(time, name.data(), size % name.size() + 1);
    if (std::memchr(name.data(), 0, size % name.size() + 1) == nullptr) __builtin_trap();
    return 0;
}
