#include "framework/worker_thread.h"

#include "framework/handles.h"

#include <mutex>

namespace kivo {

namespace {

std::mutex g_countLock;
int g_running = 0;

void ChangeCount(int delta) {
  std::lock_guard<std::mutex> lock(g_countLock);
  g_running += delta;
}

struct WorkerStart {
  WorkerProc proc;
  void* param;
};

DWORD WINAPI WorkerEntry(void* raw) {
  WorkerStart start = *static_cast<WorkerStart*>(raw);
  delete static_cast<WorkerStart*>(raw);
  UINT result = start.proc(start.param);
  ChangeCount(-1);
  return result;
}

}  // namespace

bool StartWorkerThread(WorkerProc proc, void* param, int priority) {
  auto* start = new WorkerStart{proc, param};
  // Counted before the thread exists, so that no moment shows it as not running.
  ChangeCount(+1);
  ScopedHandle thread(::CreateThread(nullptr, 0, &WorkerEntry, start, CREATE_SUSPENDED, nullptr));
  if (!thread) {
    ChangeCount(-1);
    delete start;
    return false;
  }
  ::SetThreadPriority(thread.get(), priority);
  ::ResumeThread(thread.get());
  return true;
}

int RunningWorkerCount() {
  std::lock_guard<std::mutex> lock(g_countLock);
  return g_running;
}

}  // namespace kivo
