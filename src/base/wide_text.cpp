#include "base/wide_text.h"

#include <algorithm>

namespace kivo {

namespace {

wchar_t FoldAscii(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SameFolded(wchar_t a, wchar_t b) {
  return FoldAscii(a) == FoldAscii(b);
}

}  // namespace

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameFolded);
}

bool ContainsNoCase(std::wstring_view text, std::wstring_view part) {
  if (part.empty())
    return false;
  return std::search(text.begin(), text.end(), part.begin(), part.end(), SameFolded) != text.end();
}

}  // namespace kivo
