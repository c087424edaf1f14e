// The Windows services behind platform/Platform.h, one class per interface.
// Each member makes the Windows call it stands for and converts units and
// errors; the behaviour (what counts as failure, which error number) matches
// the interface comments and the in-memory platform.
#pragma once

#include "platform/Platform.h"

namespace tavrel {

// NowUtc() is the system time interpolated on the performance counter
// where the system clock is coarse (platform/PreciseClock.h). Every
// Win32Clock shares one precise clock, as they share the system's, on
// every thread.
class Win32Clock : public IClock {
 public:
  DateTime Now() override;
  DateTime NowUtc() override;
  void SetLocalTime(DateTime localTime) override;
  bool MaySetTime() override;
  void BroadcastTimeChange() override;
  void WaitUntilUtc(DateTime utc) override;
  uint32_t TickCount() override;
  ClockStep Step() override;

  // The clock was set (WM_TIMECHANGE): where its ticks fall is learnt
  // again.
  static void TimeChanged();

  // For tests and benchmarks, which meet only fine clocks under Wine:
  // GetSystemTimeAsFileTime read as if the system moved its time only
  // every `tickMs` milliseconds (0: as it moves), as Windows 9x and NT do.
  static void QuantizeSystemTime(double tickMs);
  // ... as if another program had set the clock `ms` ahead and told no one.
  static void ShiftSystemTime(double ms);
  // The multimedia timer in place of the performance counter, as on a
  // computer without one.
  static void PretendNoPerformanceCounter(bool missing);
  // false: NowUtc() is the system clock as it reads.
  static void Interpolate(bool on);
};

class Win32Http : public IHttp {
 public:
  HttpAnswer Fetch(const std::string& url, const HttpOptions& options) override;
  // Bodies longer than this are cut off: no time page comes near it, and a
  // runaway answer must not eat the memory of a small tray utility.
  static constexpr std::size_t kMaxBody = 1024 * 1024;
  static constexpr unsigned long kTimeoutMs = 5000;
};

class Win32Udp : public IUdp {
 public:
  // A name that takes longer than resolveTimeoutMs is errSocketFailure;
  // the look-up is left behind on its worker thread.
  std::vector<NetAddress> Resolve(const std::string& host) override;
  std::unique_ptr<IUdpSocket> Open(NetAddress::Family family) override;
  std::unique_ptr<IUdpSocket> Listen(NetAddress::Family family, uint16_t port,
                                     std::function<void(uint32_t)> readable) override;

  // A system resolver answers a name within seconds, or after its own
  // time-outs (several servers, each asked more than once) about as long.
  static constexpr unsigned kResolveTimeoutMs = 10000;
  unsigned resolveTimeoutMs = kResolveTimeoutMs;

  // For tests: a resolver in place of the system's, called on the worker
  // thread with its own copy of the name; fills the addresses, returns 0 or
  // a Winsock error number. Null restores the system's.
  using Resolver = int (*)(const std::string& host, std::vector<NetAddress>& addresses);
  static void ReplaceResolver(Resolver resolver);
};

class Win32Random : public IRandom {
 public:
  uint64_t Next64() override;
};

class Win32Registry : public IRegistry {
 public:
  RegValue Read(RegRoot root, const std::string& key, const std::string& name) override;
  void WriteString(RegRoot root, const std::string& key, const std::string& name,
                   const std::string& text) override;
  void WriteDword(RegRoot root, const std::string& key, const std::string& name,
                  uint32_t number) override;
  std::string ReadBinary(RegRoot root, const std::string& key, const std::string& name) override;
  void WriteBinary(RegRoot root, const std::string& key, const std::string& name,
                   const std::string& bytes) override;
  std::vector<std::string> SubKeys(RegRoot root, const std::string& key) override;
  void DeleteValue(RegRoot root, const std::string& key, const std::string& name) override;
  void DeleteKey(RegRoot root, const std::string& key) override;
};

class Win32FileSystem : public IFileSystem {
 public:
  bool FolderExists(const std::string& path) override;
  void CreateFolder(const std::string& path) override;
  bool MatchExists(const std::string& pattern, unsigned attributes) override;
  std::string ReadAll(const std::string& path) override;
  void Write(const std::string& path, const std::string& bytes, bool append) override;
  uint64_t Size(const std::string& path) override;
  void Rename(const std::string& from, const std::string& to) override;
};

class Win32Shell : public IShell {
 public:
  void Execute(std::intptr_t ownerWindow, const std::string& verb, const std::string& file,
               const std::string& parameters, const std::string& directory, int showCommand) override;
  void Run(const std::string& commandLine, int windowStyle) override;
};

class Win32Sound : public ISound {
 public:
  unsigned WaveOutDeviceCount() override;
};

class Win32SystemInfo : public ISystemInfo {
 public:
  std::optional<std::string> UserName(uint32_t bufferSize) override;
  std::optional<uint32_t> VolumeSerial(const std::string& root) override;
  std::string SystemDirectory() override;
  std::string WindowsDirectory() override;
  bool VersionEx(OsVersionInfo& info) override;
  uint16_t SystemDefaultLangId() override;
  std::string LanguageName(uint32_t languageId) override;
  std::string LocaleInfo(uint32_t type) override;
};

class Win32Locale : public ILocale {
 public:
  std::string LongTime(DateTime value) override;
  std::string ShortDate(DateTime value) override;
  std::optional<DateTime> ParseDateTime(const std::string& text) override;
  char DecimalSeparator() override;
};

class Win32TimeZone : public ITimeZone {
 public:
  uint32_t Read(TimeZoneInformation& info) override;
  void Write(const TimeZoneInformation& info) override;
  void BroadcastSettingChange() override;
};

class Win32Process : public IProcess {
 public:
  std::string AppPath() override;
  std::string ExeName() override;
  VersionNumbers Version() override;
  std::string ProductName() override;
  bool PrevInstance() override;
  void ActivatePrevInstance() override;
  [[noreturn]] void End() override;
};

}  // namespace tavrel
