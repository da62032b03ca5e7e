#include "service/code_page.h"

#include <iconv.h>

#include <cerrno>

namespace kivo {

std::u16string AnsiToUtf16(const std::string& text) {
  std::u16string out;
  if (text.empty())
    return out;
  iconv_t cd = iconv_open("UTF-16LE", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1))
    return out;
  std::string in = text;
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  // At most two UTF-16 units (four bytes) per input byte.
  std::string buffer(in.size() * 4 + 4, '\0');
  char* outPtr = buffer.data();
  std::size_t outLeft = buffer.size();
  while (inLeft > 0) {
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
      break;
    if (errno != EILSEQ && errno != EINVAL)
      break;
    // A byte that does not decode stands for itself as U+FFFD, and the rest goes on.
    if (outLeft < 2)
      break;
    *outPtr++ = static_cast<char>(0xFD);
    *outPtr++ = static_cast<char>(0xFF);
    outLeft -= 2;
    ++inPtr;
    --inLeft;
  }
  iconv_close(cd);
  const std::size_t bytes = buffer.size() - outLeft;
  for (std::size_t i = 0; i + 1 < bytes; i += 2)
    out += static_cast<char16_t>(static_cast<unsigned char>(buffer[i]) |
                                 (static_cast<unsigned char>(buffer[i + 1]) << 8));
  return out;
}

}  // namespace kivo
