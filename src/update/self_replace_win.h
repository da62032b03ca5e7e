// Replacing the running program by a downloaded one, through the script of
// replace_script.h, which runs once this process has ended.
#pragma once

#include <string>

#include "update/replace_script.h"

namespace kivo {

// How long the script waits for the old program to end before it gives up.
constexpr int kReplaceWaitSeconds = 30;

// A new, empty file in the user's temporary folder ("tmpXXXX.tmp"); empty when none could
// be made (the download then fails to open it).
std::string MakeTempFilePath();

// Writes the script to paths.script and starts it with a hidden window. False when the
// script could not be written or started: nothing has changed then.
bool StartReplacement(const ReplacementPaths& paths, int waitSeconds);

}  // namespace kivo

// Puts downloaded in the place of this program under newName (empty: the program's own
// name) and ends the process. Returns, false, only when the script could not be written or
// started; the program then keeps running as it was.
bool ReplaceSelfAndExit(const std::string& downloaded, const std::string& newName);
