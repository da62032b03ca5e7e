#include "base/wide_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kivo {
namespace {

std::string Show(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[16];
      std::snprintf(hex, sizeof(hex), "\\u%04X", static_cast<unsigned>(c));
      out += hex;
    }
  }
  return out;
}

TEST(WideText, EqualsFoldsAsciiLettersOnly) {
  struct Case { const wchar_t* a; const wchar_t* b; bool equal; } cases[] = {
      {L"Kivo空间--登录", L"kIVO空间--登录", true},
      {L"", L"", true},
      {L"abc", L"abcd", false},
      {L"abc", L"ab", false},
      {L"[", L"{", false},        // 0x5B and 0x7B differ by the case bit, but are no letters
      {L"@", L"`", false},
      {L"Ａ", L"ａ", false},      // full-width letters keep their case
      {L"É", L"é", false},
      {L"空间", L"空問", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.equal, EqualsNoCase(c.a, c.b)) << Show(c.a) << " vs " << Show(c.b);
}

TEST(WideText, ContainsFindsThePartAnywhereInAnyCase) {
  struct Case { const wchar_t* text; const wchar_t* part; bool contained; } cases[] = {
      {L"480215937的空间 - space.kivo.test", L"space.kivo.test", true},
      {L"SPACE.KIVO.TEST", L"space.kivo.test", true},
      {L"space.kivo.test首页", L"Space.Kivo.Test", true},
      {L"space.kivo.tes", L"space.kivo.test", false},
      {L"space-kivo-test", L"space.kivo.test", false},
      {L"", L"space.kivo.test", false},
      {L"any title", L"", false},  // an empty part would match every page
      {L"", L"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.contained, ContainsNoCase(c.text, c.part)) << Show(c.text) << " / " << Show(c.part);
}

}  // namespace
}  // namespace kivo
