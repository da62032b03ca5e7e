// Runs a dialog of this process modally while a script, on a thread of its own, works its
// windows the way a user would (through the driver). The dialog's thread stays free to
// handle what the script sends.
#pragma once

#include "framework/dialog.h"

#include <functional>

namespace kivotest {

// The script gets the dialog's window once it shows; when the script returns, the dialog
// is closed unless it ended already. Returns the dialog's result.
INT_PTR RunModalWithScript(kivo::CDialog& dialog, const std::function<void(HWND)>& script);

// Waits until hwnd's thread has handled everything sent or posted to hwnd before this call.
void Sync(HWND hwnd);

}  // namespace kivotest
