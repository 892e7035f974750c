// jpegdecode IN.jpg OUT.ppm: decodes a frame with JpegDecoder and writes binary PPM (P6) or PGM (P5).
// Exit status 0 on success; on failure non-zero, with the decoder's failure code on standard error.
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "jpeg/JpegDecoder.h"
#include "jpeg/MemoryJpegSource.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: jpegdecode IN.jpg OUT.ppm\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
    if (!in) {
        std::fprintf(stderr, "jpegdecode: cannot read %s\n", argv[1]);
        return 2;
    }
    std::vector<uint8_t> data(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()))) {
        std::fprintf(stderr, "jpegdecode: cannot read %s\n", argv[1]);
        return 2;
    }

    qern::MemoryJpegSource source(data.data(), data.size());
    auto decoder = std::make_unique<qern::JpegDecoder>();
    int rc = decoder->ReadHeader(&source, 1);
    if (rc >= 0 && decoder->StartDecompress() != 0) rc = decoder->Error();
    std::vector<uint8_t> pixels;
    const int bpp = decoder->BytesPerPixel();
    if (rc >= 0) {
        const uint8_t* row = nullptr;
        int32_t length = 0;
        int status;
        while ((status = decoder->ReadScanline(&row, &length)) == 0) {
            for (int32_t x = 0; x < length; x += bpp) {
                if (bpp == 1) {
                    pixels.push_back(row[x]);
                } else {
                    pixels.push_back(row[x + 2]);
                    pixels.push_back(row[x + 1]);
                    pixels.push_back(row[x]);
                }
            }
        }
        if (status != 1) rc = decoder->Error();
    }
    const uint32_t width = decoder->ImageWidth();
    const uint32_t height = decoder->ImageHeight();
    decoder->Release();
    if (rc < 0) {
        std::fprintf(stderr, "%d\n", rc);
        return 1;
    }

    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "jpegdecode: cannot write %s\n", argv[2]);
        return 2;
    }
    std::fprintf(out, "%s\n%u %u\n255\n", bpp == 1 ? "P5" : "P6", width, height);
    const bool ok = std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    if (std::fclose(out) != 0 || !ok) {
        std::fprintf(stderr, "jpegdecode: cannot write %s\n", argv[2]);
        return 2;
    }
    return 0;
}
