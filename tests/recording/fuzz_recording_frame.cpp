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
    int32_t fields[6] = {};
    std::memcpy(fields, data, size < sizeof fields ? size : sizeof fields);
    time.year = fields[0];
    time.month = fields[1];
    time.dayOfMonth = fields[2];
    time.hours = fields[3];
    time.minutes = fields[4];
    time.seconds = fields[5];
    char name[24];
    std::memset(name, 'x', sizeof name);
    qern::RecordName::Format(time, name, size % sizeof name + 1);
    if (std::memchr(name, 0, size % sizeof name + 1) == nullptr) __builtin_trap();
    return 0;
}
