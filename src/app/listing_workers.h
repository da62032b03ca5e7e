// The album listing's two workers; each takes the main window as its argument.
#pragma once

#include <windows.h>

UINT OpenSpaceThread(void* window);
UINT ListAlbumsThread(void* window);
