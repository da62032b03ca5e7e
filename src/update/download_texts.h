// What the download dialog shows, worked out without a window: the parts of its URL, the
// shown file name, the amounts, rate and time-left texts, and the progress arithmetic.
// Texts come from the dialog's string table through a lookup, so that the rules can be
// checked natively against the same English texts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kivo {

// The text of a string table id.
using StringLookup = std::function<std::string(unsigned id)>;

struct DownloadUrl {
  bool secure = false;        // https
  std::string host;
  std::string object;         // path and query, at least "/"
  std::uint16_t port = 0;
};

// "scheme://host[:port][/path][?query]" with scheme http or https (any case); a fragment
// is dropped. False for anything else, an empty host or a port outside 1..65535.
bool ParseDownloadUrl(std::string_view url, DownloadUrl& out);

// The part of the object after its last "/", else after its last "\"; the whole object when
// it has neither or is at most one character long. A query stays part of the name.
std::string DownloadShownName(std::string_view object);

// n bytes as "1023 Bytes", "1.0 KB" or "1.00 MB".
std::string AmountText(std::uint64_t n, const StringLookup& text);

// A rate in bytes per millisecond, shown as KB/Sec (1 byte/ms is 1 KB/Sec).
std::string RateText(double bytesPerMs, const StringLookup& text);

// "59 sec (1.0 KB of 2.0 KB copied)" and the like.
std::string TimeLeftText(std::uint32_t seconds, std::uint64_t total, std::uint64_t size,
                         const StringLookup& text);

// Whole per cent of size that total is, cut; 0 for an unknown (0) size.
int PercentDone(std::uint64_t total, std::uint64_t size);

// The progress bar counts KB: the size rounded to the nearest whole KB.
int ProgressRangeKb(std::uint64_t size);

// Seconds left at the average rate since the start, cut; 0 when nothing has arrived yet.
std::uint32_t SecondsLeft(std::uint32_t elapsedMs, std::uint64_t total, std::uint64_t size);

}  // namespace kivo
