// Checks a downloaded update against its detached signature with the system's own
// cryptography (CNG): ECDSA P-256 over SHA-256, formats as in update_signature.h.
#pragma once

#include <string>
#include <string_view>

namespace kivo {

enum class SignatureCheck {
  kValid,
  kBadKey,        // the key text is not a key, or the system refuses it
  kBadSignature,  // the signature file is missing, unreadable or not 64 bytes
  kMismatch,      // the signature does not belong to this file under this key
  kFailed,        // the file could not be read, or the cryptography failed
};

SignatureCheck VerifyUpdateSignature(const std::string& filePath, const std::string& signaturePath,
                                     std::string_view keyText);

}  // namespace kivo
