// Feeds arbitrary bytes, in pieces chosen by the input, through the worker's
// loop: Fill, DropBacklog, ParseHeader, the decoder's Read and the recording.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/support/ByteFeed.h"
#include "transport/StreamSessionCore.h"

namespace {

struct CheckingSink : qern::RecordSink {
    bool WriteFrame(const uint8_t* d, size_t n) override {
        if (n < 4 || d[0] != 0xFF || d[1] != 0xD8 || d[n - 2] != 0xFF || d[n - 1] != 0xD9) __builtin_trap();
        return true;
    }
};

// Bytes F0..F7 stand for pieces of a part, F8 for a run of filler.
std::vector<uint8_t> Expand(const uint8_t* data, size_t size) {
    static const char* const kTokens[] = {"/jpeg\r\n",
                                          "Content-Length: ",
                                          "\r\n",
                                          "Content-Auth: ",
                                          "\xFF\xD8",
                                          "\xFF\xD9",
                                          "0A5F5E100003039",
                                          "--b\r\nContent-Type: image/jpeg\r\n"};
    std::vector<uint8_t> out;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] >= 0xF0 && data[i] < 0xF8) {
            const char* t = kTokens[data[i] - 0xF0];
            out.insert(out.end(), t, t + std::strlen(t));
        } else if (data[i] == 0xF8 && i + 2 < size) {
            out.insert(out.end(), size_t(data[i + 1]) * 64 + data[i + 2], uint8_t(i));  // a run of filler
            i += 2;
        } else {
            out.push_back(data[i]);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t inputSize) {
    const std::vector<uint8_t> expanded = Expand(input, inputSize);
    const uint8_t* data = expanded.data();
    const size_t size = expanded.size();
    if (size < 2) return 0;
    // A small ring so that wrapping, full rings and oversized parts all happen.
    const int32_t capacity = 4096 + (data[0] % 16) * 1024;
    qern::StreamSessionCore session(capacity);
    // Piece sizes from the input too, so that reads end anywhere.
    std::vector<int32_t> pieces;
    for (size_t i = 2; i < size && pieces.size() < 64; ++i) pieces.push_back(int32_t(1 + (data[i] * 37u) % 6000u));
    qern::test::PieceStream stream(std::string(data + 2, data + size), pieces);
    CheckingSink sink;
    session.SetVideoStream(&stream);
    session.AttachRecordSink(&sink);
    session.recording = data[1] & 1;
    session.SetThreshold(1000 + data[1] * 40);
    std::vector<uint8_t> buf(4096);
    for (int pass = 0; pass < 10000; ++pass) {
        const int32_t got = session.Fill();
        if (session.DropBacklog()) continue;
        if (session.ParseHeader(nullptr, nullptr) < 0) {
            if (got == 0 && stream.pos == stream.data.size()) break;
            continue;
        }
        bool end = false;
        for (int reads = 0; !end && reads < 1000; ++reads) {
            const int32_t n = session.Read(buf.data(), 1 + (pass * 977) % 4096, &end);
            if (n < 0 || n > 4096) __builtin_trap();
        }
        if (session.ring.Available() > capacity || session.ring.ReadPos() >= capacity) __builtin_trap();
    }
    return 0;
}
