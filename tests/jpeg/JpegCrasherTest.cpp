// Files that crashed or hung other decoders: each must end with rows or a failure code, the same whether
// the source hands it over in one piece or in small pieces.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "JpegTestStream.h"

namespace fs = std::filesystem;
using jpegtest::DecodeAll;

TEST(JpegCrashers, EveryFileDecodesOrIsRefused) {
    const fs::path root = fs::path(QERN_CORPORA) / "jpeg-crashers";
    const auto d = std::make_unique<JpegDecoder>();
    JpegDecoder& decoder = *d;
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        const jpegtest::Bytes data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        ++files;
        const jpegtest::Decoded whole = DecodeAll(decoder, data, 0, 1), pieces = DecodeAll(decoder, data, 61, 1);
        const int code = whole.header < 0 ? whole.header : whole.error;
        EXPECT_TRUE(whole.last == 1 ? whole.rows == static_cast<int>(whole.height) : code <= -200 && code >= -233)
            << entry.path() << " ended with " << whole.last << " / " << code;
        EXPECT_EQ(pieces.last, whole.last) << entry.path();
        EXPECT_EQ(pieces.error, whole.error) << entry.path();
        EXPECT_EQ(pieces.pixels, whole.pixels) << entry.path();
        EXPECT_EQ(DecodeAll(decoder, data, 0, 0).last, whole.last) << entry.path();
    }
    EXPECT_GT(files, 200);
}
