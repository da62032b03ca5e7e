// The program's name and version, as the title, the update check and the about box use them.
#pragma once

namespace kivo {

inline constexpr const char kProductName[] = "KivoAlbum";
inline constexpr const char kProgramVersion[] = "1.5";

}  // namespace kivo
