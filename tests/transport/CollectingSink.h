// A recording sink that keeps every frame it is given.
#pragma once

#include <string>
#include <vector>

#include "transport/RecordSink.h"

namespace qern {

struct CollectingSink : RecordSink {
    bool WriteFrame(const uint8_t* data, size_t size) override {
        frames.emplace_back(reinterpret_cast<const char*>(data), size);
        return true;
    }
    std::vector<std::string> frames;
};

}  // namespace qern
