// The worker threads of blocking calls and the painting wait for them. The
// waiting thread and the worker share one record, released by whichever
// lets go last; counts and states are atomics of the compiler's own (the
// Interlocked calls that compare and exchange are not in Windows 95).
#include "platform/win32/Win32Wait.h"

#include <algorithm>
#include <atomic>

namespace tavrel {
namespace {

// Often enough that a window uncovered during a wait looks whole at once.
constexpr DWORD kPaintEveryMs = 20;
// A WinINet call whose handle was closed returns at once; this much is
// waited for it, so that its handles are gone before the caller goes on.
constexpr DWORD kCancelGraceMs = 500;

std::atomic<int> g_strays{0};

enum State { kRunning, kFinished, kAbandoned };

struct Shared {
  std::shared_ptr<BlockingJob> job;
  HANDLE done = nullptr;  // manual reset, set when Run has returned
  std::atomic<int> owners{2};
  std::atomic<int> state{kRunning};
};

void Release(Shared* shared) {
  if (shared->owners.fetch_sub(1) != 1) return;
  CloseHandle(shared->done);
  delete shared;
}

DWORD WINAPI Work(void* parameter) {
  auto* shared = static_cast<Shared*>(parameter);
  try {
    shared->job->Run();
  } catch (...) {
    // Run promises not to throw; a throw escaping a thread would end the process.
  }
  SetEvent(shared->done);
  if (shared->state.exchange(kFinished) == kAbandoned) --g_strays;
  Release(shared);
  return 0;
}

// True when the event came within `ms`.
bool WaitPainting(HANDLE event, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    PaintPendingWindows();
    const DWORD waited = GetTickCount() - start;
    const DWORD slice = waited >= ms ? 0 : std::min<DWORD>(ms - waited, kPaintEveryMs);
    if (WaitForSingleObject(event, slice) == WAIT_OBJECT_0) return true;
    if (waited >= ms) return false;
  }
}

// The worker goes on alone. Counted first, so that a worker ending at this
// very moment never takes the count below zero.
void Abandon(Shared* shared) {
  ++g_strays;
  int running = kRunning;
  if (!shared->state.compare_exchange_strong(running, kAbandoned)) --g_strays;
}

}  // namespace

void PaintPendingWindows() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
}

JobEnd RunWithDeadline(const std::shared_ptr<BlockingJob>& job, unsigned deadlineMs) {
  if (g_strays >= kMaxStrayWorkers) return JobEnd::Refused;
  auto* shared = new Shared;
  shared->job = job;
  shared->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = shared->done ? CreateThread(nullptr, 0, Work, shared, 0, &id) : nullptr;
  if (!thread) {
    if (shared->done) CloseHandle(shared->done);
    delete shared;
    return JobEnd::Refused;
  }
  // Nobody waits for the thread itself: it ends when Run returns.
  CloseHandle(thread);
  bool finished = WaitPainting(shared->done, deadlineMs);
  JobEnd end = finished ? JobEnd::Finished : JobEnd::TimedOut;
  if (!finished && job->Cancel()) finished = WaitPainting(shared->done, kCancelGraceMs);
  if (!finished) Abandon(shared);
  Release(shared);
  return end;
}

int StrayWorkers() { return g_strays; }

}  // namespace tavrel
