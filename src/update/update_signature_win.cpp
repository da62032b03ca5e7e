#include "update/update_signature_win.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "base/unique_handle.h"
#include "framework/handles.h"
#include "update/update_signature.h"

namespace kivo {
namespace {

struct AlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct KeyTraits {
  using Handle = BCRYPT_KEY_HANDLE;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::BCryptDestroyKey(h); }
};
struct HashTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::BCryptDestroyHash(h); }
};
using Algorithm = UniqueHandle<AlgorithmTraits>;
using Key = UniqueHandle<KeyTraits>;
using Hash = UniqueHandle<HashTraits>;

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}

Algorithm OpenAlgorithm(LPCWSTR name) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  if (!Succeeded(::BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0)))
    return Algorithm();
  return Algorithm(handle);
}

ScopedHandle OpenForReading(const std::string& path) {
  return ScopedHandle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The signature file's bytes; false unless it holds exactly one signature.
bool ReadSignature(const std::string& path, unsigned char (&signature)[kUpdateSignatureBytes]) {
  ScopedHandle file = OpenForReading(path);
  unsigned char bytes[kUpdateSignatureBytes + 1];
  DWORD got = 0;
  if (!file || !::ReadFile(file.get(), bytes, sizeof(bytes), &got, nullptr) || got != kUpdateSignatureBytes)
    return false;
  std::memcpy(signature, bytes, kUpdateSignatureBytes);
  return true;
}

// The SHA-256 of the whole file, read in pieces: an update may be many megabytes.
bool HashFile(const std::string& path, unsigned char (&digest)[32]) {
  ScopedHandle file = OpenForReading(path);
  Algorithm sha256 = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
  if (!file || !sha256)
    return false;
  BCRYPT_HASH_HANDLE handle = nullptr;
  if (!Succeeded(::BCryptCreateHash(sha256.get(), &handle, nullptr, 0, nullptr, 0, 0)))
    return false;
  Hash hash(handle);
  std::vector<unsigned char> buffer(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
      return false;
    if (got == 0)
      break;
    if (!Succeeded(::BCryptHashData(hash.get(), buffer.data(), got, 0)))
      return false;
  }
  return Succeeded(::BCryptFinishHash(hash.get(), digest, sizeof(digest), 0));
}

}  // namespace

SignatureCheck VerifyUpdateSignature(const std::string& filePath, const std::string& signaturePath,
                                     std::string_view keyText) {
  UpdatePublicKey point;
  if (!ParseUpdatePublicKey(keyText, point))
    return SignatureCheck::kBadKey;
  unsigned char signature[kUpdateSignatureBytes];
  if (!ReadSignature(signaturePath, signature))
    return SignatureCheck::kBadSignature;
  unsigned char digest[32];
  if (!HashFile(filePath, digest))
    return SignatureCheck::kFailed;

  Algorithm ecdsa = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!ecdsa)
    return SignatureCheck::kFailed;
  unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + kUpdateKeyBytes];
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kUpdateKeyBytes / 2};
  std::memcpy(blob, &header, sizeof(header));
  std::memcpy(blob + sizeof(header), point.data(), point.size());
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!Succeeded(::BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob, sizeof(blob), 0)))
    return SignatureCheck::kBadKey;
  Key key(handle);
  // Any refusal counts as a mismatch: the system reports a point off the curve here too.
  if (!Succeeded(::BCryptVerifySignature(key.get(), nullptr, digest, sizeof(digest), signature, sizeof(signature), 0)))
    return SignatureCheck::kMismatch;
  return SignatureCheck::kValid;
}

}  // namespace kivo
