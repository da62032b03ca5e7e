// The platform seam under Md5Hex: the MD5 digest (RFC 1321) of a byte string. On Windows
// the system's cryptography provider computes it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kivo {

using Md5Digest = std::array<std::uint8_t, 16>;

// false when the platform could not hash (digest then undefined).
bool ComputeMd5(std::string_view bytes, Md5Digest& digest);

}  // namespace kivo
