// Waits of the window's thread for calls that block: a web fetch, a name
// look-up. The call runs on a worker thread of its own and the window's
// thread waits for it with a deadline, painting its windows meanwhile and
// answering what other programs send, so the system never takes the window
// for one that hangs; clicks, keys and timer ticks stay in the queue until
// the wait is over, so the program's logic never runs in the middle of a
// call, nor on the worker.
#pragma once

#include <memory>

#include "platform/win32/Win32.h"

namespace tavrel {

// Paints every window of this thread that needs it. No other message of
// the queue is taken; messages other threads send are answered, as by
// every PeekMessage.
void PaintPendingWindows();

// A blocking call for a worker thread. The object is shared by the waiting
// thread and the worker and lives until both let it go: a worker left
// behind at the deadline still owns its inputs and the room for its
// results, and nothing of it reaches the caller any more.
class BlockingJob {
 public:
  virtual ~BlockingJob() = default;
  // On the worker: the blocking calls and nothing else (no logic, no
  // window, nothing the process releases at its end). Must not throw.
  virtual void Run() = 0;
  // On the waiting thread at the deadline, while Run may still block:
  // makes Run return soon where the call allows it (a WinINet handle
  // closed under it). True when it did, so that Run is worth a short wait.
  virtual bool Cancel() { return false; }
};

enum class JobEnd {
  Finished,  // Run returned within the deadline: its results are there
  TimedOut,  // the deadline passed; the worker ends on its own, unheard
  Refused,   // not started: no thread to be had, or too many stray workers
};

// Runs job->Run() on a new thread and waits for it on this one for at most
// `deadlineMs` milliseconds (plus a moment for a cancelled call to unwind).
JobEnd RunWithDeadline(const std::shared_ptr<BlockingJob>& job, unsigned deadlineMs);

// Workers left behind at their deadline that are still blocked. While there
// are kMaxStrayWorkers, no new worker starts: a name server that never
// answers costs a few threads, not one per look-up for as long as the
// program runs.
int StrayWorkers();
constexpr int kMaxStrayWorkers = 4;

}  // namespace tavrel
