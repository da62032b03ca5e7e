// The update checks' thread procedures. Each takes an UpdateCheckTarget: what they may
// touch of the window that starts them, and nothing more.
#pragma once

#include <windows.h>

#include "build_config.h"

struct UpdateCheckTarget {
  HWND owner = nullptr;  // owns the checks' message boxes
  HWND link = nullptr;   // the update link, enabled again when a check ends
  // The key a new version's signature must verify against (update_signature.h); empty:
  // installed unsigned. The build's own unless a test puts another.
  const char* updateKey = kivo::config::kUpdatePublicKey;
};

// Silent unless the update page names another version; then asks, and on Yes runs
// CheckForUpdate on the same thread.
UINT StartupUpdateThread(void* target);

// Reads the update page, reports what it found, and when it names another version
// downloads it and replaces the program. One at a time: a second one ends at once.
UINT CheckForUpdate(void* target);
