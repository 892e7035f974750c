#include <gtest/gtest.h>

#include <string>

#include "Base64Decode.h"
#include "transport/Base64.h"

namespace {

TEST(Base64, VectorsAndCredentials) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},           {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {"\xFF\xFE", "//4="},  {std::string("\x80\xC3\xA9\xFF\x7F\x00", 6), "gMOp/38A"},  // unsigned octets
  };
  for (const auto& v : vectors)
    EXPECT_EQ(Base64Encode(reinterpret_cast<const uint8_t*>(v.first.data()), v.first.size()), v.second) << v.second;
  EXPECT_EQ(Base64Encode(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(MakeBasicCredentials("Aladdin", "open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(MakeBasicCredentials("admin", ""), "YWRtaW46");
  EXPECT_EQ(MakeBasicCredentials(nullptr, nullptr), "Og==");
}

TEST(Base64, LongAndHighCredentialsStayOnOneLineAndDecodeBack) {
  // 52, 53, 54 bytes give exactly 72 characters; longer ones more, never a line break.
  const std::string user(31, 'u');
  EXPECT_EQ(MakeBasicCredentials(user.c_str(), std::string(20, 'p').c_str()).size(), 72u);
  for (const std::string& password :
       {std::string(20, 'p'), std::string(21, 'p'), std::string(22, 'p'), std::string(200, 'p'), std::string("\xFF\x80")}) {
    const std::string encoded = MakeBasicCredentials(user.c_str(), password.c_str());
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos) << password.size();
    EXPECT_EQ(encoded.size(), (user.size() + 1 + password.size() + 2) / 3 * 4);
    std::string back;
    EXPECT_TRUE(Base64Decode(encoded, back));
    EXPECT_EQ(back, user + ":" + password);
  }
}

}  // namespace
