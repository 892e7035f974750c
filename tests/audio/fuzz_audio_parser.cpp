// Feeds arbitrary bytes, in blocks of sizes chosen by the input, through the audio frame parser
// and the sample queue: payloads never exceed what came in, the carry stays below one frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/AudioFrameParser.h"
#include "audio/AudioSampleQueue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static qern::AudioFrameParser parser;
    parser.Reset();
    const uint32_t rate = 800 + data[0] * 8;
    qern::AudioSampleQueue queue(rate);
    std::vector<uint8_t> out(qern::AudioFrameParser::kBlockBytes), second(size_t(rate) * 2);
    size_t pos = 2;
    while (pos < size) {
        // Byte 1 picks the block pattern; the magic is common so that frames are found.
        size_t n = std::min<size_t>({size - pos, parser.Room(), size_t(1) + (data[pos] * (data[1] | 1u)) % 700});
        std::vector<uint8_t> block(data + pos, data + pos + n);
        for (size_t i = 0; i + 3 < block.size(); i += 4)
            if (block[i] == 0xA5) block[i] = 0x1A, block[i + 1] = 0x2B, block[i + 2] = 0x3C, block[i + 3] = 0x4D;
        std::memcpy(parser.Space(), block.data(), n);
        const size_t carriedBefore = parser.Carried();
        const size_t got = parser.Commit(n, out.data());
        if (got > carriedBefore + n || got % 2 || parser.Carried() >= qern::AudioFrameParser::kMaxFrame)
            __builtin_trap();
        queue.Push(out.data(), got / 2);
        if (data[pos] & 1 && queue.Fill(second.data(), rate, int32_t(data[pos]) * 8 - 1000) > rate) __builtin_trap();
        if (queue.Queued() > queue.Capacity()) __builtin_trap();
        pos += n;
    }
    return 0;
}
