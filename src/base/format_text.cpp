#include "format_text.h"

#include <vector>

namespace kivo {

std::string FillPlaceholders(std::string_view format, std::initializer_list<std::string_view> args) {
  std::vector<std::string_view> values(args);
  std::string out;
  out.reserve(format.size());
  for (std::size_t pos = 0; pos < format.size(); ++pos) {
    char c = format[pos];
    if (c == '%' && pos + 1 < format.size() && format[pos + 1] >= '1' && format[pos + 1] <= '9') {
      std::size_t index = static_cast<std::size_t>(format[pos + 1] - '1');
      if (index < values.size()) {
        out.append(values[index]);
        ++pos;
        continue;
      }
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace kivo
