#include "update/update_signature.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// 0x00, 0x01 ... 0x3f: every byte value position is checked against its own index.
std::string CountingKey(bool upper) {
  std::string text;
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  for (int i = 0; i < 64; ++i) {
    text += digits[(i * 5) / 16 % 16];
    text += digits[(i * 5) % 16];
  }
  return text;
}

TEST(UpdatePublicKey, OnlyExactlyOneHundredTwentyEightHexDigitsMakeAKey) {
  const std::string key = CountingKey(false);
  struct Case { const char* what; std::string text; bool parses; } cases[] = {
      {"lower case", key, true},
      {"upper case", CountingKey(true), true},
      {"blanks and a line end around it", " \t" + key + "\r\n", true},
      {"empty", "", false},
      {"one digit short", key.substr(0, 127), false},
      {"one digit more", key + "0", false},
      {"an uncompressed point's 04 prefix", "04" + key, false},
      {"a blank inside", key.substr(0, 64) + " " + key.substr(64), false},
      {"a letter past f", "g" + key.substr(1), false},
      {"a sign", "-" + key.substr(1), false},
      {"a NUL inside", key.substr(0, 10) + std::string(1, '\0') + key.substr(11), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    kivo::UpdatePublicKey parsed{};
    ASSERT_EQ(c.parses, kivo::ParseUpdatePublicKey(c.text, parsed));
    if (c.parses) {
      for (int i = 0; i < 64; ++i)
        EXPECT_EQ((i * 5) & 0xff, parsed[i]) << "byte " << i;
    }
  }
}

TEST(UpdatePublicKey, OnlyABlankTextLeavesUpdatesUnsigned) {
  EXPECT_FALSE(kivo::UpdateSigningConfigured(""));
  EXPECT_FALSE(kivo::UpdateSigningConfigured(" \r\n\t"));
  // A broken key must refuse updates, not switch the check off.
  EXPECT_TRUE(kivo::UpdateSigningConfigured("not a key"));
  EXPECT_TRUE(kivo::UpdateSigningConfigured(CountingKey(false)));
}

TEST(UpdatePublicKey, TheSignatureSitsBesideTheDownload) {
  EXPECT_EQ("http://download.kivo.test/KivoAlbum1.6.exe.sig",
            kivo::UpdateSignatureUrl("http://download.kivo.test/KivoAlbum1.6.exe"));
}

}  // namespace
