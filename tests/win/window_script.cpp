#include "window_script.h"

#include "kivo_driver.h"

#include <gtest/gtest.h>

#include <thread>

namespace kivotest {

namespace {

constexpr int kShowTimeoutMs = 15000;

}  // namespace

void Sync(HWND hwnd) {
  // Posted messages go before a later sent one only once the queue is read: post a marker
  // and wait for it to be dispatched, then send.
  DWORD_PTR ignored = 0;
  for (int i = 0; i < 3; ++i) {
    ::PostMessageA(hwnd, WM_NULL, 0, 0);
    ::SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    ::Sleep(20);
  }
}

INT_PTR RunModalWithScript(kivo::CDialog& dialog, const std::function<void(HWND)>& script) {
  DWORD dialogThread = ::GetCurrentThreadId();
  std::thread worker([&] {
    HWND shown = nullptr;
    DWORD start = ::GetTickCount();
    while (!shown && static_cast<int>(::GetTickCount() - start) < kShowTimeoutMs) {
      for (HWND hwnd : kivodriver::TopWindowsOfThread(dialogThread)) {
        if (kivo::CWnd::FromHandle(hwnd) == &dialog)
          shown = hwnd;
      }
      if (!shown)
        ::Sleep(20);
    }
    if (!shown) {
      ADD_FAILURE() << "the dialog did not show within " << kShowTimeoutMs << " ms";
      // Ends the modal run whatever state it is in, so the test fails instead of hanging.
      ::PostThreadMessageA(dialogThread, WM_QUIT, 0, 0);
      return;
    }
    script(shown);
    if (::IsWindow(shown))
      ::PostMessageA(shown, WM_CLOSE, 0, 0);
  });
  INT_PTR result = dialog.DoModal();
  worker.join();
  return result;
}

}  // namespace kivotest
