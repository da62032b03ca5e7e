#include "update/download_texts.h"

#include <algorithm>
#include <cstdio>

#include "base/format_text.h"
#include "res/resource.h"

namespace kivo {

namespace {

std::string Printf(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), format, value);
  return buffer;
}

std::string Decimal(std::uint64_t value) {
  return std::to_string(value);
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size())
    return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != prefix[i])
      return false;
  }
  return true;
}

}  // namespace

bool ParseDownloadUrl(std::string_view url, DownloadUrl& out) {
  DownloadUrl parsed;
  if (StartsWithNoCase(url, "http://")) {
    url.remove_prefix(7);
    parsed.port = 80;
  } else if (StartsWithNoCase(url, "https://")) {
    url.remove_prefix(8);
    parsed.port = 443;
    parsed.secure = true;
  } else {
    return false;
  }
  url = url.substr(0, url.find('#'));
  const std::size_t authorityEnd = std::min(url.find_first_of("/?"), url.size());
  std::string_view authority = url.substr(0, authorityEnd);
  std::string_view object = url.substr(authorityEnd);

  const std::size_t colon = authority.find(':');
  if (colon != std::string_view::npos) {
    std::string_view digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5)
      return false;
    unsigned port = 0;
    for (char c : digits) {
      if (c < '0' || c > '9')
        return false;
      port = port * 10 + static_cast<unsigned>(c - '0');
    }
    if (port == 0 || port > 65535)
      return false;
    parsed.port = static_cast<std::uint16_t>(port);
    authority = authority.substr(0, colon);
  }
  if (authority.empty())
    return false;
  parsed.host = std::string(authority);
  parsed.object = object.empty() || object.front() != '/' ? "/" + std::string(object) : std::string(object);
  out = std::move(parsed);
  return true;
}

std::string DownloadShownName(std::string_view object) {
  if (object.size() <= 1)
    return std::string(object);
  std::size_t cut = object.rfind('/');
  if (cut == std::string_view::npos)
    cut = object.rfind('\\');
  if (cut == std::string_view::npos)
    return std::string(object);
  return std::string(object.substr(cut + 1));
}

std::string AmountText(std::uint64_t n, const StringLookup& text) {
  if (n < 1024)
    return FillPlaceholders(text(IDS_DL_BYTES), {Decimal(n)});
  if (n < 1048576)
    return FillPlaceholders(text(IDS_DL_KB), {Printf("%0.1f", static_cast<double>(n) / 1024)});
  return FillPlaceholders(text(IDS_DL_MB), {Printf("%0.2f", static_cast<double>(n) / 1048576)});
}

std::string RateText(double bytesPerMs, const StringLookup& text) {
  if (bytesPerMs < 1)
    return FillPlaceholders(text(IDS_DL_BYTES_PER_SEC), {Printf("%0.0f", bytesPerMs * 1024)});
  const char* format = bytesPerMs < 10 ? "%0.2f" : "%0.0f";
  return FillPlaceholders(text(IDS_DL_KB_PER_SEC), {Printf(format, bytesPerMs)});
}

std::string TimeLeftText(std::uint32_t seconds, std::uint64_t total, std::uint64_t size,
                         const StringLookup& text) {
  const std::string copied = FillPlaceholders(text(IDS_DL_COPIED_OF), {AmountText(total, text), AmountText(size, text)});
  std::string time;
  if (seconds < 60) {
    time = FillPlaceholders(text(IDS_DL_SECONDS), {Decimal(seconds)});
  } else if (seconds % 60 == 0) {
    time = FillPlaceholders(text(IDS_DL_MINUTES), {Decimal(seconds / 60)});
  } else {
    time = FillPlaceholders(text(IDS_DL_MINUTES_SECONDS), {Decimal(seconds / 60), Decimal(seconds % 60)});
  }
  return FillPlaceholders(text(IDS_DL_TIME_LEFT), {time, copied});
}

int PercentDone(std::uint64_t total, std::uint64_t size) {
  if (size == 0)
    return 0;
  return static_cast<int>(static_cast<double>(total) * 100 / static_cast<double>(size));
}

int ProgressRangeKb(std::uint64_t size) {
  const std::uint64_t kb = (size + 512) / 1024;
  return kb > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(kb);
}

std::uint32_t SecondsLeft(std::uint32_t elapsedMs, std::uint64_t total, std::uint64_t size) {
  if (total == 0 || total >= size)
    return 0;
  const double seconds = static_cast<double>(elapsedMs) / static_cast<double>(total) *
                         static_cast<double>(size - total) / 1000;
  return seconds >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(seconds);
}

}  // namespace kivo
