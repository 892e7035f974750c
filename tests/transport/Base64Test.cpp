#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "Base64Decode.h"
#include "transport/Base64.h"

namespace {

std::string Decode(const std::string& text) {
  std::string out;
  EXPECT_TRUE(Base64Decode(text, out)) << "character outside the alphabet in " << text;
  return out;
}

TEST(Base64, Rfc4648Vectors) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64Encode(static_cast<const char*>(nullptr)), "");
}

TEST(Base64, BasicCredentials) {
  EXPECT_EQ(MakeBasicCredentials("Aladdin", "open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(MakeBasicCredentials("admin", ""), "YWRtaW46");
  EXPECT_EQ(MakeBasicCredentials(nullptr, nullptr), "Og==");
}

TEST(Base64, LongCredentialsStayOnOneLine) {
  // 52, 53, 54 bytes give exactly 72 characters; longer ones more, never a line break.
  for (size_t passwordLength : {20u, 21u, 22u, 41u, 200u}) {
    const std::string user(31, 'u');
    const std::string password(passwordLength, 'p');
    const std::string encoded = MakeBasicCredentials(user.c_str(), password.c_str());
    EXPECT_EQ(encoded.find('\n'), std::string::npos) << passwordLength;
    EXPECT_EQ(encoded.find('\r'), std::string::npos) << passwordLength;
    EXPECT_EQ(encoded.size(), (user.size() + 1 + password.size() + 2) / 3 * 4);
    EXPECT_EQ(Decode(encoded), user + ":" + password);
  }
  EXPECT_EQ(MakeBasicCredentials(std::string(31, 'u').c_str(), std::string(20, 'p').c_str()).size(), 72u);
}

TEST(Base64, HighBytesAreUnsignedOctets) {
  const uint8_t bytes[] = {0xFF, 0xFE};
  EXPECT_EQ(Base64Encode(bytes, 2), "//4=");
  const uint8_t all[] = {0x80, 0xC3, 0xA9, 0xFF, 0x7F, 0x00};
  EXPECT_EQ(Base64Encode(all, 6), "gMOp/38A");
  const std::string encoded = MakeBasicCredentials("j\xC3\xA9r\xC3\xB4me", "\xFF\x80");
  EXPECT_EQ(Decode(encoded), "j\xC3\xA9r\xC3\xB4me:\xFF\x80");
}

TEST(Base64, ConcurrentCallsDoNotShareState) {
  auto worker = [](char fill, std::vector<std::string>* out) {
    for (int i = 0; i < 2000; ++i) {
      out->push_back(MakeBasicCredentials(std::string(size_t(i % 40) + 1, fill).c_str(), "pw"));
    }
  };
  std::vector<std::string> a, b;
  std::thread t1(worker, 'a', &a), t2(worker, 'b', &b);
  t1.join();
  t2.join();
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(Decode(a[size_t(i)]), std::string(size_t(i % 40) + 1, 'a') + ":pw");
    ASSERT_EQ(Decode(b[size_t(i)]), std::string(size_t(i % 40) + 1, 'b') + ":pw");
  }
}

}  // namespace
