// Texts of the string table, and filling their "%1"/"%2" placeholders.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace kivo {

// The string resource id in the program's code page; empty when there is none.
std::string LoadResString(UINT id);

// The string resource id with %1, %2... filled from args.
std::string FormatResString(UINT id, std::initializer_list<std::string_view> args);

}  // namespace kivo
