// Comparisons of UTF-16 text (page titles) in which only ASCII letters fold, as the 8-bit
// rules of gbk_text.h do: a Chinese title has no case, and the ASCII parts (the product
// name, a host name) are what may come in other letter case.
#pragma once

#include <string_view>

namespace kivo {

bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// part occurs in text; the empty part never does, so an unset value matches nothing.
bool ContainsNoCase(std::wstring_view text, std::wstring_view part);

}  // namespace kivo
