// Asks a window for an answer (WM_NULL) every few milliseconds from a thread of its own and
// keeps the longest wait: how long the window's thread left its user without an answer.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

namespace kivodriver {

class ResponsivenessProbe {
 public:
  explicit ResponsivenessProbe(HWND window, DWORD intervalMs = 5);
  ~ResponsivenessProbe() { Stop(); }
  ResponsivenessProbe(const ResponsivenessProbe&) = delete;
  ResponsivenessProbe& operator=(const ResponsivenessProbe&) = delete;

  void Stop();
  // The longest wait for an answer so far, in milliseconds.
  DWORD longest() const { return longest_; }
  // Probes that got no answer within 5 s.
  int failures() const { return failures_; }
  int probes() const { return probes_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<DWORD> longest_{0};
  std::atomic<int> failures_{0};
  std::atomic<int> probes_{0};
  std::thread thread_;
};

}  // namespace kivodriver
