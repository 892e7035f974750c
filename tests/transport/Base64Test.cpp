#include <gtest/gtest.h>

#include <string>

#include "transport/Base64.h"

namespace qern {

namespace {

TEST(Base64, VectorsAndCredentials) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFF\xFE", "//4="},
        {std::string("\x80\xC3\xA9\xFF\x7F\x00", 6), "gMOp/38A"},  // unsigned octets
    };
    for (const auto& v : vectors)
        EXPECT_EQ(Base64Encode(reinterpret_cast<const uint8_t*>(v.first.data()), v.first.size()), v.second) << v.second;
    EXPECT_EQ(Base64Encode(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(MakeBasicCredentials("Aladdin", "open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    EXPECT_EQ(MakeBasicCredentials("admin", ""), "YWRtaW46");
    EXPECT_EQ(MakeBasicCredentials(nullptr, nullptr), "Og==");
}

}  // namespace

}  // namespace qern
