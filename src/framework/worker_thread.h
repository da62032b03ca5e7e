// Worker threads. Every long piece of work runs on one; the window thread never waits
// for them. The count of workers still running lets the program end safely while some are
// still busy (see CKivoAlbumApp).
#pragma once

#include <windows.h>

namespace kivo {

using WorkerProc = UINT (*)(void* param);

// Starts proc(param) on a new thread at the given priority; false when no thread could be
// made. The thread's handle is not kept: workers are never waited for.
bool StartWorkerThread(WorkerProc proc, void* param, int priority = THREAD_PRIORITY_NORMAL);

// Workers started by StartWorkerThread whose procedure has not yet returned.
int RunningWorkerCount();

}  // namespace kivo
