// UTF-16 to UTF-8, and the POSIX code page seam, which reaches beyond the basic plane.
#include "service/code_page.h"
#include "service/text_encoders.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(Utf16ToUtf8, PairsJoinAndLoneSurrogatesBecomeTheReplacementCharacter) {
  struct Case { std::u16string text; std::string utf8; } cases[] = {
      {u"", ""},
      {u"a\u00e9\u4e2d", "a\xC3\xA9\xE4\xB8\xAD"},
      {u"\uffff", "\xEF\xBF\xBF"},
      {std::u16string{0xD840, 0xDC00}, "\xF0\xA0\x80\x80"},    // U+20000
      {std::u16string{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},    // U+10FFFF
      {std::u16string{0xD840}, "\xEF\xBF\xBD"},                // high at the end
      {std::u16string{0xD840, u'a'}, "\xEF\xBF\xBD" "a"},      // high before a non-surrogate
      {std::u16string{0xDC00, 0xD840}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // low before high
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.utf8, Utf16ToUtf8(c.text)) << c.text.size() << " units";
}

TEST(UrlEncodeUtf8, CharactersBeyondTheBasicPlaneKeepTheirFourBytes) {
  // GB18030's four-byte form of U+20000.
  EXPECT_EQ("%F0%A0%80%80", UrlEncodeUtf8("\x95\x32\x82\x36"));
  // A byte that does not decode does not swallow what follows it.
  EXPECT_EQ("%EF%BF%BD%61", UrlEncodeUtf8("\xFF" "a"));
}

}  // namespace
}  // namespace kivo
