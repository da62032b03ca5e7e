// Signed updates: the texts of the update public key and the signature's address. The key
// text is 128 hex digits, the P-256 point's X then Y (32 bytes each, big-endian); blanks
// around it are ignored. A signature is a file of exactly 64 bytes, r then s (32 bytes
// each, big-endian), ECDSA over the SHA-256 of the whole downloaded file, served at the
// download's address with ".sig" appended. tools/updatesign makes both.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kivo {

constexpr std::size_t kUpdateKeyBytes = 64;
constexpr std::size_t kUpdateSignatureBytes = 64;
using UpdatePublicKey = std::array<unsigned char, kUpdateKeyBytes>;

// True when the build asks for signed updates: any key text but an empty or blank one.
// A configured text that does not parse still counts, so that a broken key refuses every
// update instead of silently turning the check off.
bool UpdateSigningConfigured(std::string_view keyText);

// The key's bytes from its text; false for anything but 128 hex digits.
bool ParseUpdatePublicKey(std::string_view keyText, UpdatePublicKey& key);

// Where the signature of the file at downloadUrl is served.
std::string UpdateSignatureUrl(std::string_view downloadUrl);

}  // namespace kivo
