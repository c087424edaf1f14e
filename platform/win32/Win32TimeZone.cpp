// The computer's time-zone record: read, written, and the broadcast that
// tells every other program its settings changed.
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {
namespace {

// On NT the zone is written only with the system-time right switched on
// (from Vista on, the time-zone right), and unlike SetLocalTime the call
// does not switch it on itself. Switched on for the object's life and
// back as it was after; nothing on Windows 9x, which has no rights, nor
// for a right the system does not know.
class PrivilegeOn {
 public:
  explicit PrivilegeOn(const char* name) {
    if (::GetVersion() & 0x80000000u) return;
    TOKEN_PRIVILEGES wanted{};
    if (!::LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid)) return;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_)) {
      token_ = nullptr;
      return;
    }
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD size = sizeof before_;
    // Succeeds also when the token lacks the right (ERROR_NOT_ALL_ASSIGNED):
    // the write then fails with the system's own answer.
    adjusted_ = ::AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof before_, &before_, &size) != FALSE;
  }
  ~PrivilegeOn() {
    if (adjusted_) ::AdjustTokenPrivileges(token_, FALSE, &before_, 0, nullptr, nullptr);
    if (token_) ::CloseHandle(token_);
  }
  PrivilegeOn(const PrivilegeOn&) = delete;
  PrivilegeOn& operator=(const PrivilegeOn&) = delete;

 private:
  HANDLE token_ = nullptr;
  TOKEN_PRIVILEGES before_{};
  bool adjusted_ = false;
};

}  // namespace

uint32_t Win32TimeZone::Read(TimeZoneInformation& info) {
  TIME_ZONE_INFORMATION tz{};
  const DWORD result = GetTimeZoneInformation(&tz);
  if (result == TIME_ZONE_ID_INVALID) return result;
  info.Bias = tz.Bias;
  info.StandardBias = tz.StandardBias;
  info.DaylightBias = tz.DaylightBias;
  info.StandardDate = ToRecord(tz.StandardDate);
  info.DaylightDate = ToRecord(tz.DaylightDate);
  static_assert(sizeof info.StandardName == sizeof tz.StandardName, "TIME_ZONE_INFORMATION layout");
  for (int i = 0; i < 32; ++i) {
    info.StandardName[i] = static_cast<char16_t>(tz.StandardName[i]);
    info.DaylightName[i] = static_cast<char16_t>(tz.DaylightName[i]);
  }
  return result;
}

void Win32TimeZone::Write(const TimeZoneInformation& info) {
  TIME_ZONE_INFORMATION tz{};
  tz.Bias = info.Bias;
  tz.StandardBias = info.StandardBias;
  tz.DaylightBias = info.DaylightBias;
  tz.StandardDate = FromRecord(info.StandardDate);
  tz.DaylightDate = FromRecord(info.DaylightDate);
  for (int i = 0; i < 32; ++i) {
    tz.StandardName[i] = static_cast<WCHAR>(info.StandardName[i]);
    tz.DaylightName[i] = static_cast<WCHAR>(info.DaylightName[i]);
  }
  PrivilegeOn systemTime(SE_SYSTEMTIME_NAME);
  PrivilegeOn timeZone("SeTimeZonePrivilege");
  if (!::SetTimeZoneInformation(&tz)) RaiseRefusal(GetLastError());
}

void Win32TimeZone::BroadcastSettingChange() {
  // As the time change: hung windows are skipped, the others get a few
  // seconds each.
  DWORD_PTR result = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
}

}  // namespace tavrel
