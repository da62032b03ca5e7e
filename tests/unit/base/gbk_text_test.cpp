#include "base/gbk_text.h"

#include <gtest/gtest.h>

// Literals are GBK bytes at run time. Some cases rest on known byte pairs:
// "中文" is D6 D0 CE C4, and "形" is D0 CE, the middle two bytes of "中文";
// "癨" is B0 5C, a character whose second byte is a backslash; "癆" is B0 41 ('A').

namespace kivo {
namespace {

TEST(GbkText, TrimRemovesBlanksAtBothEndsOnly) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"  480215937 ", "480215937"},
      {"\t\r\n 12\v\f", "12"},
      {"", ""},
      {" \t\r\n", ""},
      {"a b", "a b"},
      {" 中文 ", "中文"},
      {"相册\t", "相册"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.out, TrimBlanks(c.in)) << "input [" << c.in << "]";
}

TEST(GbkText, TrimKeepsADoubleByteCharacterAtTheEndWhole) {
  // A lead byte with no trail byte after it is a character of its own and not blank.
  std::string cut = std::string("中") + "\xD6";
  EXPECT_EQ(cut, TrimBlanks(cut + "  "));
}

TEST(GbkText, DigitCheckAcceptsOnlyAsciiDigits) {
  struct Case { const char* in; bool digits; } cases[] = {
      {"480215937", true}, {"", true},     {"0", true},
      {"48021a937", false}, {"１２３", false}, {" 12", false},
      {"12 ", false},       {"-12", false},  {"１", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.digits, IsAllDigits(c.in)) << "input [" << c.in << "]";
}

TEST(GbkText, FindNeverMatchesFromTheMiddleOfACharacter) {
  EXPECT_EQ(-1, FindText("中文", "形", 0));
  EXPECT_EQ(1, FindText("x形y", "形", 0));
  EXPECT_EQ(-1, FindText("癨", "\\", 0));
  EXPECT_EQ(-1, FindText("癆", "A", 0));
  EXPECT_EQ(2, FindText("癆A", "A", 0));
}

TEST(GbkText, FindStartRules) {
  const std::string text = "ab\"nick\":\"x\",";
  EXPECT_EQ(2, FindText(text, "\"nick\":\"", 0));
  EXPECT_EQ(2, FindText(text, "\"nick\":\"", 2));
  EXPECT_EQ(-1, FindText(text, "\"nick\":\"", 3));
  EXPECT_EQ(-1, FindText(text, "a", -1));
  EXPECT_EQ(-1, FindText(text, "a", static_cast<int>(text.size()) + 1));
  EXPECT_EQ(-1, FindText(text, ",", static_cast<int>(text.size())));
  EXPECT_EQ(-1, FindText("ab", "abc", 0));
}

TEST(GbkText, CutClampsItsArguments) {
  struct Case { int start; int count; const char* out; } cases[] = {
      {0, 3, "abc"}, {1, 2, "bc"}, {-5, 2, "ab"}, {2, -1, ""},
      {4, 10, "ef"}, {6, 1, ""},   {99, 1, ""},   {0, 2147483647, "abcdef"},
      {2147483647, 2147483647, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.out, CutText("abcdef", c.start, c.count)) << c.start << "," << c.count;
}

TEST(GbkText, EqualsNoCaseFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsNoCase("KivoAlbum", "kivoalbum"));
  EXPECT_TRUE(EqualsNoCase("Kivo空间", "KIVO空间"));
  EXPECT_FALSE(EqualsNoCase("KivoAlbum", "KivoAlbum "));
  EXPECT_FALSE(EqualsNoCase("癆", "癆a"));
  // B0 41 and B0 61 are different characters, not the same one in two letter cases.
  EXPECT_FALSE(EqualsNoCase("癆", "\xB0\x61"));
}

TEST(GbkText, ReadDecimalFollowsTheCLibrary) {
  struct Case { const char* in; int value; } cases[] = {
      {"12 apples", 12}, {"  -7", -7}, {"+3x", 3},     {"apples", 0}, {"", 0},
      {"0012", 12},      {"- 1", 0},   {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.value, ReadDecimal(c.in)) << "input [" << c.in << "]";
}

}  // namespace
}  // namespace kivo
