// The update checks' thread procedures; each takes the main window as its argument.
#pragma once

#include <windows.h>

UINT StartupUpdateThread(void* window);
UINT CheckForUpdate(void* window);
