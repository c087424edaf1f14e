// The in-memory platform: every outside service kept as real state (a
// registry tree, a file tree with Windows path rules, a clock that can be
// moved and can refuse, scripted web pages, recorded message boxes), so that
// the whole logic, forms included, runs and is tested natively. A test makes
// one MemoryPlatform; it installs itself through the same InstallPlatform()
// the Windows program uses.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Forms.h"
#include "platform/Platform.h"
#include "platform/PreciseClock.h"
#include "tavrel_version.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/memory/MemoryWindowSystem.h"

namespace tavrel {

// Thrown by MemoryProcess::End() in place of ending the test process. It is
// not a std::exception, so no error trap catches it.
struct ProcessEnded {};

// The clock of a computer. Its time `now` moves only when a test or a wait
// moves it. The clock the program reads in UTC may be coarse, as the
// systems the program is for keep it: with `tickMs` above 0 it moves once
// per tick, and a fine counter runs beside it, so that NowUtc() is the
// precise clock's interpolation, as on Windows.
class MemoryClock : public IClock {
 public:
  MemoryClock() = default;
  MemoryClock(const MemoryClock&) = delete;
  MemoryClock& operator=(const MemoryClock&) = delete;

  DateTime Now() override { return now; }
  // UTC = local time + bias, the bias in minutes as the time zone's; read
  // through the coarse clock when there is one.
  DateTime NowUtc() override;
  // On a coarse clock the change waits for the next tick, as on Windows,
  // and the time set is moved on by that wait.
  void SetLocalTime(DateTime localTime) override;
  bool MaySetTime() override { return maySetTime; }
  void BroadcastTimeChange() override { ++broadcasts; }
  // Waiting is the clock running on, until NowUtc() reads the moment.
  void WaitUntilUtc(DateTime utc) override;
  // Time passing: the clock, the tick and the fine counter move on together.
  void Advance(double seconds);
  uint32_t TickCount() override { return tick; }
  ClockStep Step() override;
  // The time as it really is, whatever the clock's steps: what the test's
  // servers go by.
  DateTime TrueUtc() { return FromFileTime(TrueUtcUnits()); }

  DateTime now = MakeDateTime(2026, 12, 8, 12, 0, 0);
  int32_t utcBiasMinutes = 0;  // the memory time zone's bias
  // Decides whether a change is allowed; a refusal throws like the system
  // (error 70). Accepts everything by default.
  std::function<bool(DateTime from, DateTime to)> accept;
  // An ordinary user's account on NT: false. Only what MaySetTime answers;
  // `accept` decides what a change meets.
  bool maySetTime = true;
  std::vector<DateTime> sets;
  int broadcasts = 0;
  int waits = 0;
  uint32_t tick = 1000;  // moves with Advance, not with SetLocalTime
  // The system clock's step in milliseconds: 0, it moves continuously (as
  // Wine's does); 55, 15.625, 10: once per tick, as Windows 9x's and NT's.
  double tickMs = 0;
  // false: NowUtc() is the coarse clock as it reads, nothing filled in.
  bool interpolate = true;
  // Seconds one reading takes in a loop that waits for the clock to move.
  double spinSeconds = 20e-6;
  // The fine counter's rate against the time: a crystal 100 ppm fast is
  // 1.0001.
  double counterRate = 1;

 private:
  class Sources : public IClockSources {
   public:
    explicit Sources(MemoryClock& clock) : clock_(clock) {}
    int64_t SystemTime() override;
    int64_t Counter() override;
    double CounterFrequency() override { return 1e7; }
    void Spin() override { clock_.Advance(clock_.spinSeconds); }

   private:
    MemoryClock& clock_;
  };
  PreciseClock& Precise();
  // `now` in 100 ns units, exact where a double date keeps a microsecond:
  // a wait made of many small steps adds up right.
  int64_t TrueUtcUnits();
  void Follow();

  bool following_ = false;
  int64_t units_ = 0;       // `now` in 100 ns units since 1601
  double unitsRest_ = 0;    // below one unit, not yet counted
  DateTime unitsOf_;        // the `now` units_ stands for; another: a test set it
  double tickRest_ = 0;     // milliseconds below one not yet counted
  double counter_ = 0;      // seconds the fine counter has run
  double preciseTick_ = 0;  // the tick the precise clock learnt
  Sources sources_{*this};
  PreciseClock precise_{sources_};
};

// IMF-fixdate, the form servers send their Date in: "Tue, 08 Dec 2026
// 12:00:00 GMT" (for scripted answers that write their own).
std::string ImfFixdate(DateTime utc);

// Scripted web servers on the memory clock. A request takes `latency`
// seconds from leaving to the status line's arrival, and the memory clock
// runs on by as much; the server reads its own clock (the true time, plus
// its offset) `stampAt` of the way through (a half: the middle of the round
// trip) and, when it has one, writes it as the answer's Date. The times
// the answer carries are the computer's, read through NowUtc().
class MemoryHttp : public IHttp {
 public:
  explicit MemoryHttp(MemoryClock& clock) : clock(clock) {}
  HttpAnswer Fetch(const std::string& url, const HttpOptions& options) override;
  // Answers a request with a page (status 200); throw a RuntimeError to
  // fail it. Unset: every request fails like an unreachable host.
  std::function<std::string(const std::string& url)> handler;
  // Answers a request in full, in place of `handler` when set. A Date the
  // answer carries stays; otherwise the server clock writes one.
  std::function<HttpAnswer(const std::string& url)> answerer;
  // Seconds the servers' clock is ahead of the computer's UTC clock;
  // nothing: the answers carry no Date.
  std::optional<double> serverOffset;
  double latency = 0;
  double stampAt = 0.5;

  std::vector<std::string> requests;
  std::vector<HttpOptions> options;
  std::vector<DateTime> sentUtc;  // when each request left
  MemoryClock& clock;
};

// A network of scripted peers. A datagram sent goes to `server`, which plays
// every host there is; what it returns arrives at the socket that sent it,
// in that order. A socket waiting with nothing to read lets the memory
// clock run on by the time-out, as a real wait would.
class MemoryUdp : public IUdp {
 public:
  explicit MemoryUdp(MemoryClock& clock) : clock(clock) {}
  // Literals resolve to themselves, names through `hosts` (upper-case
  // keys); anything else is not found.
  std::vector<NetAddress> Resolve(const std::string& host) override;
  std::unique_ptr<IUdpSocket> Open(NetAddress::Family family) override;
  // Refuses the ports in `portsInUse` as another program's.
  std::unique_ptr<IUdpSocket> Listen(NetAddress::Family family, uint16_t port,
                                     std::function<void(uint32_t readyTick)> readable) override;

  // A datagram from a client arriving at the listening socket of its
  // family on `port`: queued there, and the socket's `readable` runs at
  // once, with the memory clock's tick or the given one (the system said so
  // then; the program comes to it only now), and again while some are left
  // and the last run took any. False when nothing listens there.
  bool Deliver(uint16_t port, const Datagram& datagram, std::optional<uint32_t> readyTick = std::nullopt);
  // Ports another program holds, on every family.
  std::vector<uint16_t> portsInUse;
  // Every receive of a listening socket fails (a network gone wrong).
  bool listenersFail = false;
  // The listening sockets open now, by family and port.
  std::map<std::pair<NetAddress::Family, uint16_t>, IUdpSocket*> listening;

  struct Sent {
    NetAddress to;
    uint16_t port;
    std::string bytes;
  };
  // Answers one datagram with zero or more, each with its sender. Unset:
  // nobody answers.
  std::function<std::vector<Datagram>(const Sent& request)> server;
  std::map<std::string, std::vector<NetAddress>> hosts;
  bool ipv6Sockets = true;  // false: IPv6 sockets fail to open
  std::vector<Sent> sent;   // every datagram sent, in order (listening sockets' too)
  int openSockets = 0;
  MemoryClock& clock;
};

// Deterministic "random" numbers: the scripted ones first, then a fixed
// sequence from `seed`.
class MemoryRandom : public IRandom {
 public:
  uint64_t Next64() override;
  std::deque<uint64_t> script;
  uint64_t seed = 1;
};

class MemoryFileSystem : public IFileSystem {
 public:
  MemoryFileSystem();
  bool FolderExists(const std::string& path) override;
  void CreateFolder(const std::string& path) override;
  bool MatchExists(const std::string& pattern, unsigned attributes) override;
  std::string ReadAll(const std::string& path) override;
  void Write(const std::string& path, const std::string& bytes, bool append) override;
  uint64_t Size(const std::string& path) override;
  void Rename(const std::string& from, const std::string& to) override;

  // For tests. Folders are created with their parents.
  void AddDrive(const std::string& root);   // "D:" or "\\server\share"
  void AddFolder(const std::string& path, unsigned attributes = 0);
  void AddFile(const std::string& path, const std::string& bytes, unsigned attributes = 0);
  void SetAttributes(const std::string& path, unsigned attributes);
  void Remove(const std::string& path);
  std::optional<std::string> FileContent(const std::string& path) const;
  std::vector<std::string> FolderList() const;  // every folder, for assertions
  std::string currentFolder = "C:\\";
  int writes = 0;

  struct Entry {
    std::string name;  // as written when created
    bool folder = false;
    unsigned attributes = 0;
    std::string bytes;
  };

 private:
  struct Parsed {
    bool ok = false;
    std::string root;                     // "C:" or "\\SRV\SHARE" (upper case)
    std::vector<std::string> parts;       // components as written
  };
  Parsed Parse(const std::string& path) const;
  static std::string Id(const std::string& root, const std::vector<std::string>& parts, std::size_t count);
  Entry* Find(const Parsed& p);
  const Entry* Find(const Parsed& p) const;
  bool ParentIsFolder(const Parsed& p) const;
  std::map<std::string, Entry> entries_;  // upper-case full path -> entry
  std::vector<std::string> roots_;        // upper-case roots
};

class MemoryShell : public IShell {
 public:
  struct Call {
    std::intptr_t owner;
    std::string verb, file, parameters, directory;
    int show;
  };
  void Execute(std::intptr_t owner, const std::string& verb, const std::string& file,
               const std::string& parameters, const std::string& directory, int show) override {
    executed.push_back({owner, verb, file, parameters, directory, show});
  }
  void Run(const std::string& commandLine, int windowStyle) override;
  std::vector<Call> executed;
  std::vector<std::pair<std::string, int>> started;
  bool runFails = false;
};

class MemorySound : public ISound {
 public:
  unsigned WaveOutDeviceCount() override { return devices; }
  unsigned devices = 1;
};

// A speech engine that writes down what it is asked to say, in order.
class MemorySpeech : public ISpeech {
 public:
  struct Utterance {
    std::string text;
    uint32_t flags;
  };
  void Create() override;
  void Register(const std::string& site, const std::string& application) override;
  void Speak(const std::string& text, uint32_t flags) override;
  void Release() override { created = false; ++releases; }

  std::vector<Utterance> spoken;
  std::vector<std::string> Texts() const;
  bool installed = true;    // false: Create fails (no engine on this computer)
  bool registerFails = false;
  bool speakFails = false;  // the engine refuses every text
  bool created = false;
  int creates = 0, releases = 0;
  std::vector<std::pair<std::string, std::string>> registrations;  // (site, application)
};

class MemoryDownloads : public IDownloads {
 public:
  void DownloadFile(const std::string& url) override { urls.push_back(url); }
  std::vector<std::string> urls;
};

class MemorySystemInfo : public ISystemInfo {
 public:
  std::optional<std::string> UserName(uint32_t bufferSize) override;
  std::optional<uint32_t> VolumeSerial(const std::string& root) override;
  std::string SystemDirectory() override { return systemDirectory; }
  std::string WindowsDirectory() override { return windowsDirectory; }
  bool VersionEx(OsVersionInfo& info) override;
  uint16_t SystemDefaultLangId() override { return langId; }
  std::string LanguageName(uint32_t languageId) override;
  std::string LocaleInfo(uint32_t type) override;

  std::optional<std::string> userName = std::string("tester");
  std::map<std::string, uint32_t> volumeSerials{{"C:\\", 0x1234ABCDu}};
  std::string systemDirectory = "C:\\WINDOWS\\system32";
  std::string windowsDirectory = "C:\\WINDOWS";
  std::optional<OsVersionInfo> version;  // nothing: the call fails
  uint16_t langId = 0x0409;
  std::map<uint32_t, std::string> languageNames{{0x0409, "English (United States)"}};
  std::map<uint32_t, std::string> localeInfo{
      {4098, "United States"}, {4, "English"}, {8, "United States"}};
};

// Formats: long time HH:MM:SS, short date DD.MM.YYYY, decimal point '.'.
class MemoryLocale : public ILocale {
 public:
  std::string LongTime(DateTime value) override;
  std::string ShortDate(DateTime value) override;
  std::optional<DateTime> ParseDateTime(const std::string& text) override;
  char DecimalSeparator() override { return decimal; }
  char decimal = '.';
};

class MemoryTimeZone : public ITimeZone {
 public:
  uint32_t Read(TimeZoneInformation& info) override {
    if (result != TIME_ZONE_ID_INVALID) info = zone;
    ++reads;
    return result;
  }
  // Refused like the system refuses a process without the right to set
  // the clock (error 70) when `refuseWrite` is set.
  void Write(const TimeZoneInformation& info) override;
  void BroadcastSettingChange() override { ++settingBroadcasts; }
  TimeZoneInformation zone;
  // What Read answers; the memory zone does not work out the season from
  // its rules, so a test that changes the record sets it.
  uint32_t result = TIME_ZONE_ID_UNKNOWN;
  bool refuseWrite = false;
  int reads = 0;
  int writes = 0;
  int settingBroadcasts = 0;
};

class MemoryProcess : public IProcess {
 public:
  std::string AppPath() override { return appPath; }
  std::string ExeName() override { return exeName; }
  VersionNumbers Version() override { return version; }
  std::string ProductName() override { return productName; }
  bool PrevInstance() override { return prevInstance; }
  void ActivatePrevInstance() override { ++activations; }
  [[noreturn]] void End() override;

  std::string appPath = "C:\\Program Files\\VRN\\Tavrel";
  std::string exeName = "A_Tavrel";
  VersionNumbers version{TAVREL_VERSION_MAJOR, TAVREL_VERSION_MINOR, TAVREL_VERSION_REVISION};
  std::string productName = "vrn Tavrel XP";
  bool prevInstance = false;
  int activations = 0;
  bool ended = false;
};

// The notification area as the shell keeps it: an icon per window and ID,
// added once, changed and deleted only while it exists. Every request is
// recorded with the exact bytes it carried.
class MemoryNotifyArea : public INotifyArea {
 public:
  struct Request {
    uint32_t message;
    TrayIconData record;
    std::array<uint8_t, sizeof(TrayIconData)> bytes;
    bool accepted;
  };
  struct Icon {
    uint32_t hIcon = 0;
    std::string tip;
    uint32_t callbackMessage = 0;
  };
  bool Notify(uint32_t message, const TrayIconData& record) override;

  std::vector<Request> requests;
  std::map<std::pair<uint32_t, uint32_t>, Icon> icons;  // (hWnd, uID) -> icon shown
  // False: no task bar yet (log-on), every request is refused.
  bool taskbar = true;
};

class MemoryPlatform {
 public:
  MemoryPlatform();
  ~MemoryPlatform();
  void Install();

  MemoryClock clock;
  MemoryHttp http{clock};
  MemoryUdp udp{clock};
  MemoryRandom random;
  MemoryRegistry registry;
  MemoryFileSystem files;
  MemoryShell shell;
  MemorySound sound;
  MemorySpeech speech;
  MemoryDownloads downloads;
  MemorySystemInfo system;
  MemoryLocale locale;
  MemoryTimeZone timeZone;
  MemoryProcess process;
  MemoryWindowSystem windows;
  MemoryNotifyArea notifyArea;
};

}  // namespace tavrel
