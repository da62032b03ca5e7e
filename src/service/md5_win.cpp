#include "service/md5.h"

#include <windows.h>
#include <wincrypt.h>

namespace kivo {

namespace {

class CryptContext {
 public:
  CryptContext() {
    if (!::CryptAcquireContextA(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
      provider_ = 0;
  }
  ~CryptContext() {
    if (provider_)
      ::CryptReleaseContext(provider_, 0);
  }
  CryptContext(const CryptContext&) = delete;
  CryptContext& operator=(const CryptContext&) = delete;
  HCRYPTPROV get() const { return provider_; }

 private:
  HCRYPTPROV provider_ = 0;
};

class CryptHash {
 public:
  explicit CryptHash(HCRYPTPROV provider) {
    if (!provider || !::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash_))
      hash_ = 0;
  }
  ~CryptHash() {
    if (hash_)
      ::CryptDestroyHash(hash_);
  }
  CryptHash(const CryptHash&) = delete;
  CryptHash& operator=(const CryptHash&) = delete;
  HCRYPTHASH get() const { return hash_; }

 private:
  HCRYPTHASH hash_ = 0;
};

}  // namespace

bool ComputeMd5(std::string_view bytes, Md5Digest& digest) {
  CryptContext context;
  CryptHash hash(context.get());
  if (!hash.get())
    return false;
  // CryptHashData takes a DWORD length: feed long input in pieces.
  constexpr std::size_t kPiece = 1u << 30;
  for (std::size_t done = 0; done < bytes.size(); done += kPiece) {
    const std::size_t piece = bytes.size() - done < kPiece ? bytes.size() - done : kPiece;
    if (!::CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(bytes.data() + done),
                         static_cast<DWORD>(piece), 0))
      return false;
  }
  DWORD size = static_cast<DWORD>(digest.size());
  return ::CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &size, 0) && size == digest.size();
}

}  // namespace kivo
