// The encoders of the protected-album request. Built natively and, against the Windows
// code page and hash, into the Wine test of the question dialog: both must give these.
#include "service/text_encoders.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo {
namespace {

TEST(UrlEncodeUtf8, EveryUtf8ByteIsEscapedInUpperCase) {
  struct Case { std::string text; std::string encoded; } cases[] = {
      {"", ""},
      {"abc", "%61%62%63"},
      {"A-z 0~", "%41%2D%7A%20%30%7E"},
      // One GBK character (D6 D0) becomes the three bytes of its UTF-8 form.
      {"中", "%E4%B8%AD"},
      {"我的小学叫什么名字？",
       "%E6%88%91%E7%9A%84%E5%B0%8F%E5%AD%A6%E5%8F%AB%E4%BB%80%E4%B9%88%E5%90%8D%E5%AD%97%EF%BC%9F"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.encoded, UrlEncodeUtf8(c.text)) << c.encoded;
}

TEST(Md5Hex, MatchesTheRfc1321SuiteAndBlockEdges) {
  struct Case { std::string text; const char* digest; } cases[] = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "D174AB98D277D9F5A5611C2C9F419D9F"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
      // Around the padding: the length still fits the last block (55), just not (56), a
      // whole block (64), and the same over two blocks.
      {std::string(55, 'a'), "EF1772B6DFF9A122358552954AD0DF65"},
      {std::string(56, 'a'), "3B0C8AC703F828B04C6C197006D17218"},
      {std::string(63, 'a'), "B06521F39153D618550606BE297466D5"},
      {std::string(64, 'a'), "014842D480B571495A4A0363793F7367"},
      {std::string(119, 'a'), "8A7BD0732ED6A28CE75F6DABC90E1613"},
      {std::string(120, 'a'), "5F61C0CCAD4CAC44C75FF505E1F1E537"},
      // A Chinese answer is hashed over its GBK bytes; over UTF-8 it would be
      // 5EC440E2E7922A9E8814B73290AD40A2.
      {"实验小学", "990838BF26220D165812F6AC483CFAB3"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.digest, Md5Hex(c.text)) << c.text.size() << " bytes: " << c.text.substr(0, 20);
}

}  // namespace
}  // namespace kivo
