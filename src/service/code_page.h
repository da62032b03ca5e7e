// The platform seam under UrlEncodeUtf8: the program's 8-bit code page to UTF-16. On
// Windows the system's ANSI code page; elsewhere GB18030, the superset of GBK whose four-byte
// sequences also reach the characters beyond the basic plane.
#pragma once

#include <string>

namespace kivo {

// Bytes that do not decode become what the platform makes of them (U+FFFD or '?'); the
// result is never cut short.
std::u16string AnsiToUtf16(const std::string& text);

}  // namespace kivo
