#include "framework/res_strings.h"

#include "base/format_text.h"
#include "framework/win_app.h"

#include <vector>

namespace kivo {

std::string LoadResString(UINT id) {
  // LoadStringA gives no length up front: grow until the text fits with room to spare.
  for (int size = 256; size <= 65536; size *= 4) {
    std::vector<char> buffer(static_cast<std::size_t>(size));
    int length = ::LoadStringA(AppInstance(), id, buffer.data(), size);
    if (length <= 0)
      return std::string();
    if (length < size - 2)
      return std::string(buffer.data(), static_cast<std::size_t>(length));
  }
  return std::string();
}

std::string FormatResString(UINT id, std::initializer_list<std::string_view> args) {
  return FillPlaceholders(LoadResString(id), args);
}

}  // namespace kivo
