// The album download's worker; it takes the main window as its argument.
#pragma once

#include <windows.h>

#include <string>

UINT DownloadAlbumsThread(void* window);

// The local time as "%Y%m%d%H%M%S" (14 digits); empty when the clock cannot be read.
std::string FormatTimeStamp();

// Replaces name by a new GUID in its text form (36 characters, no braces); true on
// failure, when name is left empty.
bool MakeGuidName(std::string& name);
