#include "gbk_text.h"

#include <climits>

namespace kivo {

namespace {

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsGbkLeadByte(unsigned char byte) {
  return byte >= 0x81 && byte <= 0xFE;
}

bool IsGbkTrailByte(unsigned char byte) {
  return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
  if (pos + 1 < text.size() && IsGbkLeadByte(static_cast<unsigned char>(text[pos])) &&
      IsGbkTrailByte(static_cast<unsigned char>(text[pos + 1])))
    return 2;
  return 1;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin]))
    ++begin;
  // Walk forward to find where the last non-blank character ends: walking backward
  // could take a trail byte for a character of its own.
  std::size_t end = begin;
  for (std::size_t pos = begin; pos < text.size();) {
    std::size_t len = GbkCharLength(text, pos);
    if (len == 2 || !IsBlank(text[pos]))
      end = pos + len;
    pos += len;
  }
  return std::string(text.substr(begin, end - begin));
}

bool IsAllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
  }
  return true;
}

int FindText(std::string_view text, std::string_view pattern, int start) {
  if (start < 0 || static_cast<std::size_t>(start) > text.size())
    return -1;
  for (std::size_t pos = static_cast<std::size_t>(start); pos <= text.size();) {
    if (text.size() - pos >= pattern.size() && text.compare(pos, pattern.size(), pattern) == 0)
      return static_cast<int>(pos);
    if (pos == text.size())
      break;
    pos += GbkCharLength(text, pos);
  }
  return -1;
}

std::string CutText(std::string_view text, int start, int count) {
  long long first = start < 0 ? 0 : start;
  long long length = count < 0 ? 0 : count;
  long long size = static_cast<long long>(text.size());
  if (first >= size)
    return std::string();
  if (first + length > size)
    length = size - first;
  return std::string(text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(length)));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t pos = 0; pos < a.size();) {
    std::size_t len = GbkCharLength(a, pos);
    if (len != GbkCharLength(b, pos))
      return false;
    if (len == 2) {
      if (a.compare(pos, 2, b.substr(pos, 2)) != 0)
        return false;
    } else if (FoldAscii(a[pos]) != FoldAscii(b[pos])) {
      return false;
    }
    pos += len;
  }
  return true;
}

int ReadDecimal(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos]))
    ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  long long value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1)
      value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative)
    value = -value;
  if (value > INT_MAX)
    return INT_MAX;
  if (value < INT_MIN)
    return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace kivo
