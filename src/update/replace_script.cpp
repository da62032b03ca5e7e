#include "update/replace_script.h"

#include <cstdint>

#include "base/gbk_text.h"

namespace kivo {

namespace {

// Byte offset just past the last backslash, walking characters: a GBK trail byte may be
// 0x5C and must not count as one.
std::size_t FolderLength(std::string_view path) {
  std::size_t folder = 0;
  for (std::size_t pos = 0; pos < path.size(); pos += GbkCharLength(path, pos)) {
    if (path[pos] == '\\')
      folder = pos + 1;
  }
  return folder;
}

// A path as a quoted batch argument. Quotes cannot occur in a Windows path; a percent
// sign would start a variable, so it is doubled.
std::string Quoted(std::string_view path) {
  std::string out = "\"";
  for (char c : path) {
    out += c;
    if (c == '%')
      out += '%';
  }
  return out + "\"";
}

}  // namespace

ReplacementPaths MakeReplacementPaths(std::string_view ownPath, std::string_view downloaded,
                                      std::string_view newName) {
  ReplacementPaths paths;
  paths.own = std::string(ownPath);
  paths.downloaded = std::string(downloaded);
  paths.target = newName.empty() ? paths.own
                                 : std::string(ownPath.substr(0, FolderLength(ownPath))) + std::string(newName);
  paths.script = paths.own + ".bat";
  paths.backup = paths.own + ".old";
  return paths;
}

std::string ReplaceScriptText(const ReplacementPaths& paths, int waitSeconds) {
  const std::string own = Quoted(paths.own);
  const std::string downloaded = Quoted(paths.downloaded);
  const std::string target = Quoted(paths.target);
  const std::string backup = Quoted(paths.backup);
  const std::string quiet = " >nul 2>&1\r\n";
  std::string s;
  s += "@echo off\r\n";
  // A copy, not a rename: the program may still run, and its file must stay where it is
  // until the new one can take its place.
  s += "del /a /q /f " + backup + quiet;
  s += "copy /b /y " + own + " " + backup + quiet;
  s += "if not exist " + backup + " goto giveup\r\n";
  s += "set /a tries=0\r\n";
  s += ":wait\r\n";
  s += "del /a /q /f " + own + quiet;
  s += "if not exist " + own + " goto place\r\n";
  s += "set /a tries+=1\r\n";
  s += "if %tries% geq " + std::to_string(waitSeconds) + " goto giveup\r\n";
  // About a second: ping waits that long between its echoes.
  s += "ping -n 2 127.0.0.1 >nul\r\n";
  s += "goto wait\r\n";
  s += ":place\r\n";
  s += "move /y " + downloaded + " " + target + quiet;
  s += "if exist " + downloaded + " goto restore\r\n";
  s += "if not exist " + target + " goto restore\r\n";
  s += "del /a /q /f " + backup + quiet;
  s += "start \"\" " + target + "\r\n";
  s += "goto end\r\n";
  s += ":restore\r\n";
  s += "move /y " + backup + " " + own + quiet;
  s += ":giveup\r\n";
  // The copy goes only when the old program is there again; else it is all that is left.
  s += "if exist " + own + " del /a /q /f " + backup + quiet;
  s += "del /a /q /f " + downloaded + quiet;
  s += "if exist " + own + " start \"\" " + own + "\r\n";
  s += ":end\r\n";
  // The script's own path written out: cmd expands "%~f0" once more when the path holds a
  // percent sign, and misses the file.
  s += "del " + Quoted(paths.script);
  return s;
}

bool LooksLikeWindowsProgram(std::string_view head) {
  constexpr std::size_t kPeOffsetField = 0x3C;
  if (head.size() < kPeOffsetField + 4 || head[0] != 'M' || head[1] != 'Z')
    return false;
  std::uint32_t pe = 0;
  for (int i = 3; i >= 0; --i)
    pe = (pe << 8) | static_cast<unsigned char>(head[kPeOffsetField + static_cast<std::size_t>(i)]);
  if (pe > head.size() || head.size() - pe < 4)
    return false;
  return head.substr(pe, 4) == std::string_view("PE\0\0", 4);
}

}  // namespace kivo
