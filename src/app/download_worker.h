// The album download's worker; it takes the main window as its argument.
#pragma once

#include <windows.h>

UINT DownloadAlbumsThread(void* window);
