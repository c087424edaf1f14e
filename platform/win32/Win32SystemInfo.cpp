// What the system says about the user, the machine, its folders, version
// and language, and the locale-aware conversions of dates, times and
// numbers.
#include <vector>

#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {
namespace {

// The folder calls get the 255-byte buffer the program always gave them;
// a longer folder counts as a failure, as it did there.
std::string Folder(UINT (WINAPI *call)(LPSTR, UINT)) {
  char buffer[255];
  const UINT n = call(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return std::string();
  return std::string(buffer, n);
}

}  // namespace

std::optional<std::string> Win32SystemInfo::UserName(uint32_t bufferSize) {
  std::vector<char> buffer(bufferSize + 1, '\0');
  DWORD size = bufferSize;
  if (!GetUserNameA(buffer.data(), &size)) return std::nullopt;
  return std::string(buffer.data());
}

std::optional<uint32_t> Win32SystemInfo::VolumeSerial(const std::string& root) {
  DWORD serial = 0;
  if (!GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
    return std::nullopt;
  return serial;
}

std::string Win32SystemInfo::SystemDirectory() { return Folder(GetSystemDirectoryA); }

std::string Win32SystemInfo::WindowsDirectory() { return Folder(GetWindowsDirectoryA); }

bool Win32SystemInfo::VersionEx(OsVersionInfo& info) {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExA(&v)) return false;
  info.dwMajorVersion = v.dwMajorVersion;
  info.dwMinorVersion = v.dwMinorVersion;
  info.dwBuildNumber = v.dwBuildNumber;
  info.dwPlatformId = v.dwPlatformId;
  static_assert(sizeof info.szCSDVersion == sizeof v.szCSDVersion, "OSVERSIONINFOA layout");
  memcpy(info.szCSDVersion, v.szCSDVersion, sizeof v.szCSDVersion);
  return true;
}

uint16_t Win32SystemInfo::SystemDefaultLangId() { return GetSystemDefaultLangID(); }

std::string Win32SystemInfo::LanguageName(uint32_t languageId) {
  char buffer[256] = {};
  const DWORD n = VerLanguageNameA(languageId, buffer, sizeof buffer);
  return std::string(buffer, n < sizeof buffer ? n : 0);
}

std::string Win32SystemInfo::LocaleInfo(uint32_t type) {
  const int size = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, nullptr, 0);
  if (size <= 0) return std::string();
  std::vector<char> buffer(size + 1, '\0');
  if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer.data(), size)) return std::string();
  return std::string(buffer.data());
}

// ---------------------------------------------------------------------------

std::string Win32Locale::LongTime(DateTime value) {
  const SYSTEMTIME st = ToSystemTime(value);
  char buffer[128] = {};
  if (!GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, sizeof buffer)) return std::string();
  return buffer;
}

std::string Win32Locale::ShortDate(DateTime value) {
  const SYSTEMTIME st = ToSystemTime(value);
  char buffer[128] = {};
  if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, sizeof buffer))
    return std::string();
  return buffer;
}

std::optional<DateTime> Win32Locale::ParseDateTime(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::vector<wchar_t> wide(n);
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  DATE date = 0;
  if (FAILED(VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &date))) return std::nullopt;
  // DATE counts days from 30 December 1899 like the program's serial, but
  // before that day its fraction runs backwards.
  if (date < 0) {
    const double days = static_cast<double>(static_cast<long long>(date));
    date = days - (date - days);
  }
  return DateTime(date);
}

char Win32Locale::DecimalSeparator() {
  char buffer[8] = {};
  if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) || !buffer[0]) return '.';
  return buffer[0];
}

}  // namespace tavrel
