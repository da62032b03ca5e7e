#include "skin/skin_data.h"

#include <string>

namespace kivo {

namespace {

std::string_view Strip(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// Three numbers 0..255 separated by blanks, as a colour reference.
bool ParseColour(std::string_view text, std::uint32_t& colour) {
  int parts[3];
  for (int& part : parts) {
    text = Strip(text);
    if (text.empty() || text.front() < '0' || text.front() > '9')
      return false;
    int value = 0;
    while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
      value = value * 10 + (text.front() - '0');
      if (value > 255)
        return false;
      text.remove_prefix(1);
    }
    part = value;
  }
  if (!Strip(text).empty())
    return false;
  colour = static_cast<std::uint32_t>(parts[0]) | (static_cast<std::uint32_t>(parts[1]) << 8) |
           (static_cast<std::uint32_t>(parts[2]) << 16);
  return true;
}

}  // namespace

bool ParseSkinData(std::string_view data, SkinColours& colours) {
  if (data.size() > kMaxSkinFileSize)
    return false;
  SkinColours parsed;
  bool haveBackground = false;
  bool haveText = false;
  bool first = true;
  while (!data.empty()) {
    std::size_t end = data.find('\n');
    std::string_view line = Strip(data.substr(0, end));
    data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
    if (first) {
      if (line != "KIVOSKIN 1")
        return false;
      first = false;
      continue;
    }
    if (line.empty() || line.front() == '#')
      continue;
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
      return false;
    std::string_view key = Strip(line.substr(0, equals));
    std::string_view value = line.substr(equals + 1);
    if (key == "dialog.background" && !haveBackground) {
      haveBackground = ParseColour(value, parsed.dialogBackground);
      if (!haveBackground)
        return false;
    } else if (key == "text.colour" && !haveText) {
      haveText = ParseColour(value, parsed.text);
      if (!haveText)
        return false;
    } else {
      return false;
    }
  }
  if (first || !haveBackground || !haveText)
    return false;
  colours = parsed;
  return true;
}

}  // namespace kivo
