// The batch script that puts a downloaded program in the place of the running one. A
// running program's file cannot be deleted (it can be renamed), so the script waits for
// the deletion to succeed, which tells that the program has ended.
//
// It never leaves the folder without a working program: it keeps a copy of the old file
// until the new one is in place, puts the old one back and starts it when the move fails,
// and after a bounded wait for the old program to end it gives up, keeping the old one.
#pragma once

#include <string>
#include <string_view>

namespace kivo {

struct ReplacementPaths {
  std::string own;         // the running program's file
  std::string downloaded;  // the new program, in the temporary folder
  std::string target;      // where the new program goes
  std::string script;      // beside the program: own path + ".bat"
  std::string backup;      // the old program's copy while the new one moves in: own + ".old"
};

// Target: the own path's folder (up to its last backslash, GBK-aware) and newName, or the
// own path when newName is empty.
ReplacementPaths MakeReplacementPaths(std::string_view ownPath, std::string_view downloaded,
                                      std::string_view newName);

// The script's text, CR LF line ends, in the program's code page. waitSeconds bounds the
// wait for the old program to end.
std::string ReplaceScriptText(const ReplacementPaths& paths, int waitSeconds);

// The start of a Windows program file: "MZ", and at the offset it gives, "PE\0\0".
// head is the file's first bytes (a whole header page is plenty).
bool LooksLikeWindowsProgram(std::string_view head);

}  // namespace kivo
