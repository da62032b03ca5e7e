// The two encoders of the protected-album request: the question goes out as percent-escaped
// UTF-8, the answer as the MD5 of its bytes in the program's code page.
#pragma once

#include <string>
#include <string_view>

namespace kivo {

// text (program code page) -> UTF-16 -> UTF-8, every byte written "%XX", letters and digits
// included. The empty text gives the empty text.
std::string UrlEncodeUtf8(const std::string& text);

// 32 upper-case hexadecimal digits of the MD5 digest of text's bytes as they are (no
// conversion to UTF-8); empty only when the platform cannot hash.
std::string Md5Hex(const std::string& text);

// UTF-16 -> UTF-8. A surrogate without its partner becomes U+FFFD rather than a byte
// sequence no decoder accepts.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace kivo
