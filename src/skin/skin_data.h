// The skin engine's data file: a small text format of our own.
//
//   KIVOSKIN 1
//   # comment
//   dialog.background = 234 242 251
//   text.colour = 24 52 96
//
// Colours are red, green, blue (0..255). Both keys are required; anything else (another
// first line, an unknown key, a bad number) makes the whole file corrupt, and a corrupt
// file changes nothing.
#pragma once

#include <cstdint>
#include <string_view>

namespace kivo {

struct SkinColours {
  std::uint32_t dialogBackground = 0;  // as a Windows colour reference, 0x00BBGGRR
  std::uint32_t text = 0;
};

// The largest skin file the engine reads.
constexpr std::size_t kMaxSkinFileSize = 64 * 1024;

bool ParseSkinData(std::string_view data, SkinColours& colours);

}  // namespace kivo
