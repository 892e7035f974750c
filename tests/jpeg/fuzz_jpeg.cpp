// libFuzzer target: whole files through a memory source. Each input is decoded with the fast path in one
// piece and in small pieces, which must agree byte for byte, then with the accurate transform, which
// shares the entropy decoding and must end the same way after the same number of rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "jpeg/JpegDecoder.h"
#include "jpeg/MemoryJpegSource.h"

namespace {

struct Outcome {
    int status = 0;
    uint64_t hash = 1469598103934665603ull;
    uint32_t rows = 0;
};

Outcome Decode(qern::JpegDecoder& d, const uint8_t* data, size_t size, size_t chunk, uint8_t accelerate) {
    Outcome o;
    qern::MemoryJpegSource source(data, size, chunk);
    o.status = d.ReadHeader(&source, accelerate);
    // Huge pictures only make the fuzzer slow; their code paths are the same as for small ones.
    if (o.status >= 0 && static_cast<uint64_t>(d.ImageWidth()) * d.ImageHeight() <= (1u << 20)) {
        const uint8_t* row = nullptr;
        int32_t length = 0;
        int rc = d.StartDecompress();
        for (; rc == 0 && (rc = d.ReadScanline(&row, &length)) == 0; ++o.rows)
            for (int32_t i = 0; i < length; ++i) o.hash = (o.hash ^ row[i]) * 1099511628211ull;
        o.status = rc == 1 ? 0 : d.Error();
    }
    d.Release();
    if (source.CloseCount() != 1) std::abort();
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qern::JpegDecoder* whole = new qern::JpegDecoder;
    static qern::JpegDecoder* pieces = new qern::JpegDecoder;
    const Outcome a = Decode(*whole, data, size, 0, 1);
    const Outcome b = Decode(*pieces, data, size, 1 + (size * 2654435761u) % 97, 1);
    if (a.status != b.status || a.hash != b.hash || a.rows != b.rows) std::abort();
    const Outcome c = Decode(*whole, data, size, 0, 0);
    if (c.status != a.status || c.rows != a.rows) std::abort();
    return 0;
}
