// The only way out of the program's logic. Every outside service the program
// uses is one interface here; platform/win32 implements each member with one
// Windows call (converting units and errors, nothing more), and
// platform/memory keeps the same services as real state in memory for the
// native tests. The implementation is chosen once, at start-up, by
// InstallPlatform(); the logic reaches it through Sys().
//
// Failures that the program treats as run-time errors are thrown as
// RuntimeError (platform/RuntimeError.h); everything else is a plain result.
//
// One header of over 400 lines on purpose: it is the whole list of what the
// program asks of the outside world, and is best read as one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/RuntimeError.h"

namespace tavrel {

class IWindowSystem;  // platform/Forms.h

// ---------------------------------------------------------------------------
// Records exchanged with the system in its own layout.

// SYSTEMTIME: eight unsigned 16-bit fields.
struct SystemTime {
  uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
  uint16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};

// TIME_ZONE_INFORMATION. Biases in minutes with UTC = local time + bias.
struct TimeZoneInformation {
  int32_t Bias = 0;
  char16_t StandardName[32] = {};
  SystemTime StandardDate;
  int32_t StandardBias = 0;
  char16_t DaylightName[32] = {};
  SystemTime DaylightDate;
  int32_t DaylightBias = 0;
};

// GetTimeZoneInformation's answers.
enum : uint32_t {
  TIME_ZONE_ID_UNKNOWN = 0,
  TIME_ZONE_ID_STANDARD = 1,
  TIME_ZONE_ID_DAYLIGHT = 2,
  TIME_ZONE_ID_INVALID = 0xFFFFFFFFu,
};

// OSVERSIONINFOA.
struct OsVersionInfo {
  uint32_t dwOSVersionInfoSize = 0;
  uint32_t dwMajorVersion = 0;
  uint32_t dwMinorVersion = 0;
  uint32_t dwBuildNumber = 0;
  uint32_t dwPlatformId = 0;
  char szCSDVersion[128] = {};
};

// NOTIFYICONDATAA in the 32-bit shell's layout (88 bytes), the record the
// program keeps for its notification-area icon. Handles are 32-bit values:
// window and icon handles carry 32 significant bits on every Windows.
struct TrayIconData {
  uint32_t cbSize = 0;
  uint32_t hWnd = 0;
  uint32_t uID = 0;
  uint32_t uFlags = 0;
  uint32_t uCallbackMessage = 0;
  uint32_t hIcon = 0;
  char szTip[64] = {};
};
static_assert(sizeof(TrayIconData) == 88, "the shell reads exactly 88 bytes");

// Shell_NotifyIconA's requests and the record's flags, as the shell's.
enum : uint32_t { kNimAdd = 0, kNimModify = 1, kNimDelete = 2 };
enum : uint32_t { kNifMessage = 1, kNifIcon = 2, kNifTip = 4 };

// ---------------------------------------------------------------------------

// How fine the computer's own clock is.
struct ClockStep {
  // Milliseconds by which the system moves its time of day at once: about
  // 55 on Windows 95, 98 and Me, 10 or 15.625 on NT, 2000, XP and 2003;
  // under 1 where the clock is fine.
  double ms = 0;
  // Whether NowUtc() fills the steps in from a fine counter.
  bool interpolated = false;
};

class IClock {
 public:
  virtual ~IClock() = default;
  // The computer's local date and time, to the millisecond.
  virtual DateTime Now() = 0;
  // The computer's clock in UTC, to the microsecond or better: the time
  // network time protocols compare with a server's, and every timed event
  // of a synchronisation is read here. Where the system's clock moves in
  // coarse steps this is the system time interpolated on a fine counter:
  // never more than one step from the system's own reading and never
  // running backwards, unless the clock was set.
  virtual DateTime NowUtc() = 0;
  // Sets the computer's local date and time; `localTime` is meant for the
  // moment of the call. Throws RuntimeError when the system refuses (no
  // privilege, invalid time).
  virtual void SetLocalTime(DateTime localTime) = 0;
  // Whether this process may set the clock at all: always on Windows 9x;
  // on NT only when its account holds the right to change the system time
  // (an ordinary user's does not), whether or not the right is switched on
  // at the moment: setting the clock switches it on. Nothing is changed.
  virtual bool MaySetTime() = 0;
  // Sends WM_TIMECHANGE (wParam 0, lParam 0) to every top-level window and
  // waits until they have seen it.
  virtual void BroadcastTimeChange() = 0;
  // Returns when NowUtc() has reached `utc` (at once when it has), to the
  // millisecond where the system allows: a request timed to reach a server
  // at a chosen moment waits here. Processes no window events.
  virtual void WaitUntilUtc(DateTime utc) = 0;

  // Milliseconds since the system started (GetTickCount): 32 bits, so the
  // count wraps to 0 after 49.7 days; a difference taken in 32-bit unsigned
  // arithmetic is right across the wrap. Setting the clock does not move
  // it, which makes it the measure of every wait.
  virtual uint32_t TickCount() = 0;

  // How fine the system's clock is, as NowUtc() met it. Learnt on the
  // first call, which may take a few of the clock's steps. A clock that
  // knows no steps is fine.
  virtual ClockStep Step() { return {}; }
};

// What a web server answered to one request, with the computer's UTC clock
// around it: a server's Date says its clock at some moment between the two.
struct HttpAnswer {
  int status = 0;         // 200, 301, 404 ...
  std::string headers;    // the header lines as they came, "Name: value" each
  std::string body;
  DateTime sentUtc;       // just before the request left
  DateTime answeredUtc;   // just after the status line arrived
  // The value of the first header of that name (case ignored), blanks
  // around it removed; nothing when the answer has none.
  std::optional<std::string> Header(const std::string& name) const;
};

struct HttpOptions {
  // false: a redirect is the answer (its status, headers and body).
  bool followRedirects = true;
  // How long to wait for the connection and each part of the answer; 0
  // is the platform's own time-out. A fetch ends within twice this, on
  // every system.
  unsigned timeoutMs = 0;
  // Request header lines to send besides the platform's own, each ending
  // in CR LF ("Cache-Control: no-cache\r\n"); empty: none.
  std::string headers;
};

class IHttp {
 public:
  virtual ~IHttp() = default;
  // Sends a GET for a full URL ("http://host[:port]/path?query") and
  // returns the answer whatever its status, blocking until it arrived.
  // Throws RuntimeError when the host cannot be reached (errHostNotFound:
  // its name does not resolve; errCannotConnect: no connection to it),
  // the transfer times out (errInetTimeout) or fails (errInetFailure).
  virtual HttpAnswer Fetch(const std::string& url, const HttpOptions& options) = 0;
  // The body of a page, redirects followed. An answer other than 2xx is
  // errInetFailure "HTTP status N".
  std::string OpenUrl(const std::string& url);
};

// An IPv4 or IPv6 address.
struct NetAddress {
  enum Family { IPv4, IPv6 } family = IPv4;
  // Network byte order; an IPv4 address uses the first four bytes, the
  // others stay zero.
  std::array<uint8_t, 16> bytes{};

  static NetAddress V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
  // The address as a literal: "127.0.0.1", "2001:db8::1" (shortest form).
  std::string Text() const;
  friend bool operator==(const NetAddress& a, const NetAddress& b) {
    return a.family == b.family && a.bytes == b.bytes;
  }
  friend bool operator!=(const NetAddress& a, const NetAddress& b) { return !(a == b); }
};

// Reads an IPv4 literal (four decimal parts) or an IPv6 literal (RFC 4291
// text forms, "::" and a trailing IPv4 part included; no zone); nothing for
// any other text, host names included.
std::optional<NetAddress> ParseIpLiteral(const std::string& text);

// One datagram as it arrived, with the address and UDP port it came from.
struct Datagram {
  std::string bytes;
  NetAddress from;
  uint16_t fromPort = 0;
};

// A datagram socket bound to a local port of every interface (an ephemeral
// one, unless IUdp::Listen chose it), closed when the object goes.
class IUdpSocket {
 public:
  virtual ~IUdpSocket() = default;
  // Sends `bytes` as one datagram to address:port. The address must be of
  // the socket's family. Throws RuntimeError (errSocketFailure) when the
  // system refuses the send.
  virtual void SendTo(const NetAddress& to, uint16_t port, const std::string& bytes) = 0;
  // Waits up to `timeoutMs` milliseconds for one datagram from anyone and
  // returns it, or nothing when none came in that time. Datagrams longer
  // than 4096 bytes arrive cut to 4096. Throws RuntimeError
  // (errSocketFailure) when the socket fails.
  virtual std::optional<Datagram> Receive(unsigned timeoutMs) = 0;
};

class IUdp {
 public:
  virtual ~IUdp() = default;
  // The addresses of a host name, or the address of an IPv4 or IPv6 literal
  // itself, in the order the system prefers them; never empty. Throws
  // RuntimeError errHostNotFound when the name does not resolve,
  // errSocketFailure when the resolver fails or does not answer in time.
  virtual std::vector<NetAddress> Resolve(const std::string& host) = 0;
  // Opens a datagram socket for addresses of `family`. Throws RuntimeError
  // errSocketFailure when the system has no such sockets (no IPv6, say) or
  // none is left.
  virtual std::unique_ptr<IUdpSocket> Open(NetAddress::Family family) = 0;
  // Opens a datagram socket on `port` of every address of `family`: the
  // serving side of a protocol, on the window's thread. `readable` runs
  // between window events whenever datagrams wait, with the tick
  // (IClock::TickCount) at which the system said so, so that a receiver
  // held up by other work can tell how long they waited; Receive(0) takes
  // them without waiting, and `readable` runs again while some are left.
  // Throws RuntimeError errPortInUse when another socket holds the port,
  // errSocketFailure when the system has no sockets of the family or
  // refuses.
  virtual std::unique_ptr<IUdpSocket> Listen(NetAddress::Family family, uint16_t port,
                                             std::function<void(uint32_t readyTick)> readable) = 0;
};

// Unpredictable numbers for values an attacker must not guess (the nonce
// of a time request).
class IRandom {
 public:
  virtual ~IRandom() = default;
  // 64 bits from the system's cryptographic random source.
  virtual uint64_t Next64() = 0;
};

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// A registry value as the program reads it: text for REG_SZ / REG_EXPAND_SZ,
// a number for REG_DWORD. REG_BINARY values (their bytes in `text`) are
// read only through ReadBinary.
struct RegValue {
  enum Type { String, Dword, Binary } type = String;
  std::string text;
  uint32_t number = 0;
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // Reads value `name` of `key` below `root`; an empty name is the key's
  // default value. Throws RuntimeError when the key or value does not exist
  // or cannot be read.
  virtual RegValue Read(RegRoot root, const std::string& key, const std::string& name) = 0;
  // Writes a REG_SZ / REG_DWORD value, creating missing keys on the way.
  // Throws RuntimeError when access is denied.
  virtual void WriteString(RegRoot root, const std::string& key, const std::string& name,
                           const std::string& text) = 0;
  virtual void WriteDword(RegRoot root, const std::string& key, const std::string& name,
                          uint32_t number) = 0;
  // The bytes of a REG_BINARY value. Throws RuntimeError like Read, and
  // errTypeMismatch for a value of another type (which Read refuses in
  // turn for a binary one).
  virtual std::string ReadBinary(RegRoot root, const std::string& key, const std::string& name) = 0;
  // Writes a REG_BINARY value, creating missing keys on the way. Throws
  // RuntimeError when access is denied.
  virtual void WriteBinary(RegRoot root, const std::string& key, const std::string& name,
                           const std::string& bytes) = 0;
  // The names of the sub-keys of `key`, as the registry spells them, in its
  // order. Throws RuntimeError when the key does not exist or cannot be
  // read.
  virtual std::vector<std::string> SubKeys(RegRoot root, const std::string& key) = 0;
  // Deletes a value. Throws RuntimeError when it does not exist.
  virtual void DeleteValue(RegRoot root, const std::string& key, const std::string& name) = 0;
  // Deletes a key that has no sub-keys. Throws RuntimeError otherwise.
  virtual void DeleteKey(RegRoot root, const std::string& key) = 0;
};

// Attribute bits of directory entries, as the system's.
enum FileAttribute : unsigned {
  attrReadOnly = 1,
  attrHidden = 2,
  attrSystem = 4,
  attrDirectory = 16,
  attrArchive = 32,
};

// Windows paths throughout: drive, UNC or relative to the current folder,
// backslashes, names compared without regard to case.
class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates one folder whose parent exists. Throws RuntimeError (76 when the
  // parent is missing, 75 when it exists already or cannot be made).
  virtual void CreateFolder(const std::string& path) = 0;
  // True when a directory entry matches `pattern` (wildcards * and ? in its
  // last component). Normal and archive files always count; hidden, system
  // and folder entries only when their bit is in `attributes`. Throws
  // RuntimeError for a malformed path.
  virtual bool MatchExists(const std::string& pattern, unsigned attributes) = 0;
  // The whole file as bytes. Throws RuntimeError (53 missing, 70 no access).
  virtual std::string ReadAll(const std::string& path) = 0;
  // Writes `bytes` to the file, appending or replacing it; creates a missing
  // file. Throws RuntimeError (76 folder missing, 70/75 no access).
  virtual void Write(const std::string& path, const std::string& bytes, bool append) = 0;
  // The file's size in bytes. Throws RuntimeError (53 missing).
  virtual uint64_t Size(const std::string& path) = 0;
  // Gives the file `from` the name `to` in the same folder, replacing a
  // file `to` that exists. Throws RuntimeError (53 missing, 70/75 no
  // access).
  virtual void Rename(const std::string& from, const std::string& to) = 0;
};

// Show commands of ShellExecuteA, as the system's: SW_SHOWNORMAL activates
// and restores the window, SW_SHOW shows it as it is.
enum : int { kSwShowNormal = 1, kSwShow = 5 };

class IShell {
 public:
  virtual ~IShell() = default;
  // ShellExecuteA. The result is not examined by the program.
  virtual void Execute(std::intptr_t ownerWindow, const std::string& verb, const std::string& file,
                       const std::string& parameters, const std::string& directory,
                       int showCommand) = 0;
  // Starts a command line with a window style (the runtime's Shell).
  // Throws RuntimeError 53 when the program cannot be started.
  virtual void Run(const std::string& commandLine, int windowStyle) = 0;
};

class ISound {
 public:
  virtual ~ISound() = default;
  // waveOutGetNumDevs: the number of wave-output devices.
  virtual unsigned WaveOutDeviceCount() = 0;
};

// A text-to-speech engine. The program passes its speak flags through; the
// only one it uses means "return at once, speak in the background".
enum : uint32_t { kSpeakAsync = 16 };

class ISpeech {
 public:
  virtual ~ISpeech() = default;
  // Creates the engine. Throws RuntimeError 429 when there is none.
  virtual void Create() = 0;
  // Tells the engine which program speaks (`site` may be empty).
  virtual void Register(const std::string& site, const std::string& application) = 0;
  // Starts speaking `text` without waiting for the end. Throws RuntimeError
  // when the engine was never created (91) or refuses the text.
  virtual void Speak(const std::string& text, uint32_t flags) = 0;
  // Lets the engine go; speaking afterwards is speaking without an engine.
  virtual void Release() = 0;
};

// Fetching a file for the user: the system's download dialogue for a URL,
// or the browser where the system has none. Nothing is reported back.
class IDownloads {
 public:
  virtual ~IDownloads() = default;
  virtual void DownloadFile(const std::string& url) = 0;
};

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;
  // GetUserNameA into a buffer of `bufferSize` bytes: the name, or nothing
  // when the call fails (also when the name and its NUL do not fit).
  virtual std::optional<std::string> UserName(uint32_t bufferSize) = 0;
  // GetVolumeInformationA's serial number of a root such as "C:\", or
  // nothing when the volume cannot be read.
  virtual std::optional<uint32_t> VolumeSerial(const std::string& root) = 0;
  // GetSystemDirectoryA / GetWindowsDirectoryA with a 255-byte buffer: the
  // folder without trailing backslash, "" when the call fails.
  virtual std::string SystemDirectory() = 0;
  virtual std::string WindowsDirectory() = 0;
  // GetVersionExA; false when the call fails (the record is then untouched).
  virtual bool VersionEx(OsVersionInfo& info) = 0;
  virtual uint16_t SystemDefaultLangId() = 0;
  // VerLanguageNameA: the language's English name, "" when unknown.
  virtual std::string LanguageName(uint32_t languageId) = 0;
  // GetLocaleInfoA(LOCALE_USER_DEFAULT, type): the item, "" when undefined.
  virtual std::string LocaleInfo(uint32_t type) = 0;
};

// The locale-aware conversions of the runtime.
class ILocale {
 public:
  virtual ~ILocale() = default;
  // Time of day in the system's long time format, e.g. 14:05:09.
  virtual std::string LongTime(DateTime value) = 0;
  // Date in the system's short date format.
  virtual std::string ShortDate(DateTime value) = 0;
  // Reads a date, a time or both back from text; nothing when unreadable.
  virtual std::optional<DateTime> ParseDateTime(const std::string& text) = 0;
  // The system's decimal separator.
  virtual char DecimalSeparator() = 0;
};

class ITimeZone {
 public:
  virtual ~ITimeZone() = default;
  // GetTimeZoneInformation: fills the record, returns one of TIME_ZONE_ID_*.
  virtual uint32_t Read(TimeZoneInformation& info) = 0;
  // SetTimeZoneInformation: makes the record the computer's. On NT the
  // process needs the right to set the clock (IClock::MaySetTime), which
  // this switches on for the call. Throws RuntimeError when the system
  // refuses (errPermissionDenied without the right).
  virtual void Write(const TimeZoneInformation& info) = 0;
  // Sends WM_SETTINGCHANGE (wParam 0, lParam 0) to every top-level window
  // and waits until they have seen it: the zone's settings changed.
  virtual void BroadcastSettingChange() = 0;
};

// The notification area ("system tray") of the task bar.
class INotifyArea {
 public:
  virtual ~INotifyArea() = default;
  // Shell_NotifyIconA with one of kNim* and the record as it stands; true
  // when the shell accepted the request (the program does not examine it).
  virtual bool Notify(uint32_t message, const TrayIconData& record) = 0;
};

struct VersionNumbers {
  int major = 0, minor = 0, revision = 0;
};

// Facts about this process and its program file.
class IProcess {
 public:
  virtual ~IProcess() = default;
  // The program folder as the system reports it, without trailing backslash
  // (unless it is a drive root).
  virtual std::string AppPath() = 0;
  // The executable's name without extension.
  virtual std::string ExeName() = 0;
  // The version resource's numbers (3.10.0.1 gives 3, 10, 1) and product name.
  virtual VersionNumbers Version() = 0;
  virtual std::string ProductName() = 0;
  // True only while another copy of this program runs.
  virtual bool PrevInstance() = 0;
  // Brings the other copy's main window to the front; a window hidden in
  // the notification area stays hidden there.
  virtual void ActivatePrevInstance() = 0;
  // Ends the process at once; no handler runs any more.
  [[noreturn]] virtual void End() = 0;
};

// The table of services, filled once by the platform at start-up.
struct Platform {
  IClock* clock = nullptr;
  IHttp* http = nullptr;
  IUdp* udp = nullptr;
  IRandom* random = nullptr;
  IRegistry* registry = nullptr;
  IFileSystem* files = nullptr;
  IShell* shell = nullptr;
  ISound* sound = nullptr;
  ISpeech* speech = nullptr;
  IDownloads* downloads = nullptr;
  ISystemInfo* system = nullptr;
  ILocale* locale = nullptr;
  ITimeZone* timeZone = nullptr;
  IProcess* process = nullptr;
  IWindowSystem* windows = nullptr;
  INotifyArea* notifyArea = nullptr;
};

// The table of a platform that keeps one object per service under the
// table's own names (MemoryPlatform, the Windows services): one filling for
// both, so that a service added to the table cannot be forgotten by one.
template <class Services>
Platform TableOf(Services& s) {
  Platform p;
  p.clock = &s.clock;
  p.http = &s.http;
  p.udp = &s.udp;
  p.random = &s.random;
  p.registry = &s.registry;
  p.files = &s.files;
  p.shell = &s.shell;
  p.sound = &s.sound;
  p.speech = &s.speech;
  p.downloads = &s.downloads;
  p.system = &s.system;
  p.locale = &s.locale;
  p.timeZone = &s.timeZone;
  p.process = &s.process;
  p.windows = &s.windows;
  p.notifyArea = &s.notifyArea;
  return p;
}

void InstallPlatform(const Platform& platform);
const Platform& Sys();

}  // namespace tavrel
