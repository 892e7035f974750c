// Files that crashed or hung other decoders: each must end with rows or a failure code, the same whether
// the source hands it over in one piece or in small pieces.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "JpegTestStream.h"
#include "jpeg/JpegDecoder.h"

namespace fs = std::filesystem;

TEST(JpegCrashers, EveryFileDecodesOrIsRefused) {
    const fs::path root = fs::path(QERN_CORPORA) / "jpeg-crashers";
    ASSERT_TRUE(fs::is_directory(root)) << root;
    auto decoder = std::make_unique<JpegDecoder>();
    int files = 0;
    int decoded = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        const jpegtest::Bytes data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        ++files;
        const jpegtest::Decoded whole = jpegtest::DecodeAll(*decoder, data, 0, 1);
        const bool ok = whole.last == 1;
        const int code = whole.header < 0 ? whole.header : whole.error;
        EXPECT_TRUE(ok || (code <= -200 && code >= -233)) << entry.path() << " ended with " << whole.last << " / " << code;
        if (ok) {
            ++decoded;
            EXPECT_EQ(whole.rows, static_cast<int>(whole.height)) << entry.path();
        }
        const jpegtest::Decoded pieces = jpegtest::DecodeAll(*decoder, data, 61, 1);
        EXPECT_EQ(pieces.last, whole.last) << entry.path();
        EXPECT_EQ(pieces.error, whole.error) << entry.path();
        EXPECT_EQ(pieces.pixels, whole.pixels) << entry.path();
        const jpegtest::Decoded plain = jpegtest::DecodeAll(*decoder, data, 0, 0);
        EXPECT_EQ(plain.last, whole.last) << entry.path();
    }
    EXPECT_GT(files, 200);
    std::printf("%d crasher files: %d decoded, %d refused\n", files, decoded, files - decoded);
}
