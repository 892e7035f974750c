// Receives each complete JPEG frame (FF D8 through FF D9, unchanged) while a
// recording runs. The AVI writer implements it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qern {

class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual bool WriteFrame(const uint8_t* data, size_t size) = 0;
};

}  // namespace qern
