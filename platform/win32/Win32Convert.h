// Unit and error conversions shared by the Win32 services: the program's
// date-time serial against SYSTEMTIME, and Windows error codes against the
// program's run-time error numbers.
#pragma once

#include <string>

#include "platform/DateTime.h"
#include "platform/Platform.h"
#include "platform/win32/Win32.h"

namespace tavrel {

// To the millisecond, both ways.
SYSTEMTIME ToSystemTime(DateTime value);
DateTime FromSystemTime(const SYSTEMTIME& st);
// The record's SYSTEMTIME-shaped fields, field by field, both ways.
SystemTime ToRecord(const SYSTEMTIME& st);
SYSTEMTIME FromRecord(const SystemTime& r);

// The run-time error number a failed file call stands for.
long FileErrorNumber(DWORD windowsError);

// The system's message text for a Windows error code, without the trailing
// line break; "" when it has none.
std::string WindowsMessage(DWORD windowsError);

// Raises the run-time error of a change the system refused with this
// error code: errPermissionDenied for a missing privilege or right,
// errInvalidCall with the system's message otherwise.
[[noreturn]] void RaiseRefusal(DWORD windowsError);

// The keys and buttons of a mouse message's wParam in the runtime's
// numbering (vbShiftMask ..., vbLeftButton ...).
int MouseShift(WPARAM keys);
int MouseButtons(WPARAM keys);

// Closes a kernel handle (file, process, thread) when the scope ends.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE h = nullptr) : h_(h) {}
  ~KernelHandle() { if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

}  // namespace tavrel
