// Filling "%1" and "%2" placeholders, as the string table's texts use them.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kivo {

// Replaces %1..%9 by the matching argument; a '%' not followed by such a digit, or by
// the digit of a missing argument, stays as it is ("%1% of %2" keeps its second '%').
std::string FillPlaceholders(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace kivo
