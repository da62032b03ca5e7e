#include "responsiveness_probe.h"

#include <algorithm>

namespace kivodriver {

ResponsivenessProbe::ResponsivenessProbe(HWND window, DWORD intervalMs)
    : thread_([this, window, intervalMs] {
        while (!stop_) {
          DWORD start = ::GetTickCount();
          DWORD_PTR result = 0;
          if (!::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result))
            failures_++;
          probes_++;
          longest_ = std::max<DWORD>(longest_, ::GetTickCount() - start);
          ::Sleep(intervalMs);
        }
      }) {}

void ResponsivenessProbe::Stop() {
  stop_ = true;
  if (thread_.joinable())
    thread_.join();
}

}  // namespace kivodriver
