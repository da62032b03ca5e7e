// Attaching the skin engine that the program wrote into its folder.
#pragma once

#include <string>

// Loads library, finds SkinH_AttachEx and calls it once with skinFile and a null second
// argument. Without the library or its entry point nothing happens: the program keeps the
// system's look. The library is never freed: its hooks live as long as the process.
// True when the entry point was called.
bool AttachSkinEngine(const std::string& library, const std::string& skinFile);
