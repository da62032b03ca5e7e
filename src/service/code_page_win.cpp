#include "service/code_page.h"

#include <windows.h>

namespace kivo {

std::u16string AnsiToUtf16(const std::string& text) {
  if (text.empty())
    return std::u16string();
  const int inLength = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, nullptr, 0);
  if (length <= 0)
    return std::u16string();
  std::u16string out(static_cast<std::size_t>(length), u'\0');
  const int got = ::MultiByteToWideChar(CP_ACP, 0, text.data(), inLength,
                                        reinterpret_cast<wchar_t*>(out.data()), length);
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

}  // namespace kivo
