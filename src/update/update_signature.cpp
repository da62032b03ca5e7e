#include "update/update_signature.h"

namespace kivo {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const char* const blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos)
    return std::string_view();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

}  // namespace

bool UpdateSigningConfigured(std::string_view keyText) {
  return !TrimBlanks(keyText).empty();
}

bool ParseUpdatePublicKey(std::string_view keyText, UpdatePublicKey& key) {
  const std::string_view digits = TrimBlanks(keyText);
  if (digits.size() != 2 * key.size())
    return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const int high = HexDigit(digits[2 * i]);
    const int low = HexDigit(digits[2 * i + 1]);
    if (high < 0 || low < 0)
      return false;
    key[i] = static_cast<unsigned char>(high * 16 + low);
  }
  return true;
}

std::string UpdateSignatureUrl(std::string_view downloadUrl) {
  return std::string(downloadUrl) + ".sig";
}

}  // namespace kivo
