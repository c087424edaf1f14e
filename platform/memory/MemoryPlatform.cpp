#include "platform/memory/MemoryPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "support/Text.h"

namespace tavrel {

// ---------------------------------------------------------------------------

PreciseClock& MemoryClock::Precise() {
  if (preciseTick_ != tickMs) {
    precise_.Reset();
    preciseTick_ = tickMs;
  }
  precise_.interpolate = interpolate;
  return precise_;
}

DateTime MemoryClock::NowUtc() {
  if (tickMs <= 0) return TrueUtc();
  return FromFileTime(Precise().Now());
}

ClockStep MemoryClock::Step() { return tickMs <= 0 ? ClockStep() : Precise().Step(); }

void MemoryClock::SetLocalTime(DateTime localTime) {
  if (tickMs > 0) localTime = localTime.AddSeconds(Precise().AwaitTick());
  if (accept && !accept(now, localTime)) Raise(errPermissionDenied);
  sets.push_back(localTime);
  now = localTime;
  if (tickMs > 0) precise_.Changed();
}

void MemoryClock::WaitUntilUtc(DateTime utc) {
  if (NowUtc() < utc) Advance((utc.Serial() - NowUtc().Serial()) * 86400.0);
  // A coarse clock is read over and over until it shows the moment.
  while (tickMs > 0 && NowUtc() < utc) Advance(spinSeconds);
  ++waits;
}

void MemoryClock::Follow() {
  if (following_ && now.Serial() == unitsOf_.Serial()) return;
  following_ = true;
  units_ = ToFileTime(now);
  unitsRest_ = 0;
  unitsOf_ = now;
}

int64_t MemoryClock::TrueUtcUnits() {
  Follow();
  return units_ + int64_t{utcBiasMinutes} * 600000000;
}

void MemoryTimeZone::Write(const TimeZoneInformation& info) {
  if (refuseWrite) Raise(errPermissionDenied);
  zone = info;
  ++writes;
}

void MemoryClock::Advance(double seconds) {
  Follow();
  const double units = seconds * 1e7 + unitsRest_;
  const double wholeUnits = std::floor(units);
  unitsRest_ = units - wholeUnits;
  units_ += static_cast<int64_t>(wholeUnits);
  now = unitsOf_ = FromFileTime(units_);
  if (seconds <= 0) return;
  counter_ += seconds * counterRate;
  const double ms = seconds * 1000.0 + tickRest_;
  const double whole = std::floor(ms);
  tickRest_ = ms - whole;
  tick += static_cast<uint32_t>(static_cast<uint64_t>(whole));
}

// The time as it is, cut down to the last tick.
int64_t MemoryClock::Sources::SystemTime() {
  const int64_t t = clock_.TrueUtcUnits();
  const int64_t tick = std::llround(clock_.tickMs * 1e4);
  return tick > 0 ? t - t % tick : t;
}

int64_t MemoryClock::Sources::Counter() { return std::llround(clock_.counter_ * 1e7); }

std::string ImfFixdate(DateTime utc) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.Weekday() - 1], utc.Day(),
                kMonths[utc.Month() - 1], utc.Year(), utc.Hour(), utc.Minute(), utc.Second());
  return text;
}

HttpAnswer MemoryHttp::Fetch(const std::string& url, const HttpOptions& how) {
  requests.push_back(url);
  options.push_back(how);
  const DateTime sent = clock.NowUtc();
  const DateTime trueSent = clock.TrueUtc();
  sentUtc.push_back(sent);
  HttpAnswer answer;
  if (answerer) {
    answer = answerer(url);
  } else {
    if (!handler) Raise(errInetFailure);
    answer.status = 200;
    answer.body = handler(url);
  }
  if (serverOffset && !answer.Header("Date"))
    answer.headers += "Date: " + ImfFixdate(trueSent.AddSeconds(latency * stampAt + *serverOffset)) + "\r\n";
  answer.sentUtc = sent;
  clock.Advance(latency);
  answer.answeredUtc = clock.NowUtc();
  return answer;
}

// ---------------------------------------------------------------------------
// UDP: one scripted network.

namespace {

class MemoryUdpSocket : public IUdpSocket {
 public:
  MemoryUdpSocket(MemoryUdp& network, NetAddress::Family family) : network_(network), family_(family) {
    ++network_.openSockets;
  }
  ~MemoryUdpSocket() override { --network_.openSockets; }

  void SendTo(const NetAddress& to, uint16_t port, const std::string& bytes) override {
    if (to.family != family_) Raise(errSocketFailure, "Address of another family than the socket's");
    const MemoryUdp::Sent sent{to, port, bytes};
    network_.sent.push_back(sent);
    if (!network_.server) return;
    for (Datagram& reply : network_.server(sent)) {
      if (reply.bytes.size() > 4096) reply.bytes.resize(4096);
      queue_.push_back(std::move(reply));
    }
  }

  std::optional<Datagram> Receive(unsigned timeoutMs) override {
    if (queue_.empty()) {
      network_.clock.Advance(timeoutMs / 1000.0);
      return std::nullopt;
    }
    Datagram datagram = std::move(queue_.front());
    queue_.pop_front();
    return datagram;
  }

 private:
  MemoryUdp& network_;
  NetAddress::Family family_;
  std::deque<Datagram> queue_;
};

// A socket another program's clients send to: what Deliver queued, and
// the answers recorded in the network's `sent`.
class MemoryUdpListener : public IUdpSocket {
 public:
  MemoryUdpListener(MemoryUdp& network, NetAddress::Family family, uint16_t port,
                    std::function<void(uint32_t)> readable)
      : network_(network), key_(family, port), readable_(std::move(readable)) {
    network_.listening[key_] = this;
  }
  ~MemoryUdpListener() override { network_.listening.erase(key_); }

  void SendTo(const NetAddress& to, uint16_t port, const std::string& bytes) override {
    if (to.family != key_.first) Raise(errSocketFailure, "Address of another family than the socket's");
    network_.sent.push_back({to, port, bytes});
  }

  std::optional<Datagram> Receive(unsigned timeoutMs) override {
    if (network_.listenersFail) Raise(errSocketFailure, "The network is down.");
    if (queue_.empty()) {
      network_.clock.Advance(timeoutMs / 1000.0);
      return std::nullopt;
    }
    Datagram datagram = std::move(queue_.front());
    queue_.pop_front();
    ++taken_;
    return datagram;
  }

  void Arrive(const Datagram& datagram, uint32_t readyTick) {
    queue_.push_back(datagram);
    if (queue_.back().bytes.size() > 4096) queue_.back().bytes.resize(4096);
    // As the system says it again after a receive that left some waiting.
    for (;;) {
      taken_ = 0;
      readable_(readyTick);
      if (queue_.empty() || taken_ == 0) return;
      readyTick = network_.clock.TickCount();
    }
  }

 private:
  MemoryUdp& network_;
  std::pair<NetAddress::Family, uint16_t> key_;
  std::function<void(uint32_t)> readable_;
  std::deque<Datagram> queue_;
  int taken_ = 0;
};

}  // namespace

std::unique_ptr<IUdpSocket> MemoryUdp::Listen(NetAddress::Family family, uint16_t port,
                                              std::function<void(uint32_t)> readable) {
  if (family == NetAddress::IPv6 && !ipv6Sockets)
    Raise(errSocketFailure, "An address incompatible with the requested protocol was used.");
  if (std::find(portsInUse.begin(), portsInUse.end(), port) != portsInUse.end() ||
      listening.count({family, port}))
    Raise(errPortInUse, "Address already in use");
  return std::make_unique<MemoryUdpListener>(*this, family, port, std::move(readable));
}

bool MemoryUdp::Deliver(uint16_t port, const Datagram& datagram, std::optional<uint32_t> readyTick) {
  const auto it = listening.find({datagram.from.family, port});
  if (it == listening.end()) return false;
  static_cast<MemoryUdpListener*>(it->second)->Arrive(datagram, readyTick.value_or(clock.TickCount()));
  return true;
}

std::vector<NetAddress> MemoryUdp::Resolve(const std::string& host) {
  if (const auto literal = ParseIpLiteral(host)) return {*literal};
  const auto it = hosts.find(UCase(host));
  if (it == hosts.end() || it->second.empty()) Raise(errHostNotFound, "Host not found: " + host);
  return it->second;
}

std::unique_ptr<IUdpSocket> MemoryUdp::Open(NetAddress::Family family) {
  if (family == NetAddress::IPv6 && !ipv6Sockets)
    Raise(errSocketFailure, "An address incompatible with the requested protocol was used.");
  return std::make_unique<MemoryUdpSocket>(*this, family);
}

uint64_t MemoryRandom::Next64() {
  if (!script.empty()) {
    const uint64_t value = script.front();
    script.pop_front();
    return value;
  }
  // splitmix64: well spread, and the same every run.
  uint64_t z = (seed += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// ---------------------------------------------------------------------------

void MemoryShell::Run(const std::string& commandLine, int windowStyle) {
  if (runFails) Raise(errFileNotFound);
  started.emplace_back(commandLine, windowStyle);
}

void MemorySpeech::Create() {
  ++creates;
  if (!installed) Raise(errCantCreateObject);
  created = true;
}

void MemorySpeech::Register(const std::string& site, const std::string& application) {
  if (!created) Raise(errObjectNotSet);
  if (registerFails) Raise(errAutomation);
  registrations.emplace_back(site, application);
}

void MemorySpeech::Speak(const std::string& text, uint32_t flags) {
  if (!created) Raise(errObjectNotSet);
  if (speakFails) Raise(errAutomation);
  spoken.push_back({text, flags});
}

std::vector<std::string> MemorySpeech::Texts() const {
  std::vector<std::string> result;
  for (const Utterance& u : spoken) result.push_back(u.text);
  return result;
}

std::optional<std::string> MemorySystemInfo::UserName(uint32_t bufferSize) {
  if (!userName || userName->size() + 1 > bufferSize) return std::nullopt;
  return userName;
}

std::optional<uint32_t> MemorySystemInfo::VolumeSerial(const std::string& root) {
  const auto it = volumeSerials.find(UCase(root));
  if (it == volumeSerials.end()) return std::nullopt;
  return it->second;
}

bool MemorySystemInfo::VersionEx(OsVersionInfo& info) {
  if (!version) return false;
  const uint32_t size = info.dwOSVersionInfoSize;
  info = *version;
  info.dwOSVersionInfoSize = size;
  return true;
}

std::string MemorySystemInfo::LanguageName(uint32_t languageId) {
  const auto it = languageNames.find(languageId);
  return it == languageNames.end() ? std::string() : it->second;
}

std::string MemorySystemInfo::LocaleInfo(uint32_t type) {
  const auto it = localeInfo.find(type);
  return it == localeInfo.end() ? std::string() : it->second;
}

// ---------------------------------------------------------------------------

std::string MemoryLocale::LongTime(DateTime value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", value.Hour(), value.Minute(), value.Second());
  return text;
}

std::string MemoryLocale::ShortDate(DateTime value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", value.Day() % 100, value.Month() % 100,
                value.Year() % 10000);
  return text;
}

std::optional<DateTime> MemoryLocale::ParseDateTime(const std::string& text) {
  int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  const std::string t = Trim(text);
  try {
    if (std::sscanf(t.c_str(), "%d.%d.%d %d:%d:%d%c", &d, &mo, &y, &h, &mi, &s, &tail) == 6)
      return MakeDateTime(y, mo, d, h, mi, s);
    if (std::sscanf(t.c_str(), "%d.%d.%d%c", &d, &mo, &y, &tail) == 3)
      return DateSerial(y, mo, d);
    if (std::sscanf(t.c_str(), "%d:%d:%d%c", &h, &mi, &s, &tail) == 3)
      return DateTime(DayFraction(WrapTimeOfDay(h, mi, s)));
  } catch (const RuntimeError&) {
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------

void MemoryProcess::End() {
  ended = true;
  throw ProcessEnded{};
}

// ---------------------------------------------------------------------------
// The notification area: a request for an icon the shell does not know (or,
// for an add, already knows) is refused and changes nothing. A record whose
// size is not set is refused too.

namespace {

std::string TipOf(const TrayIconData& record) {
  const char* end = static_cast<const char*>(std::memchr(record.szTip, 0, sizeof record.szTip));
  return std::string(record.szTip, end ? end : record.szTip + sizeof record.szTip);
}

}  // namespace

bool MemoryNotifyArea::Notify(uint32_t message, const TrayIconData& record) {
  Request request{message, record, {}, false};
  std::memcpy(request.bytes.data(), &record, sizeof record);
  const auto key = std::make_pair(record.hWnd, record.uID);
  const auto it = icons.find(key);
  bool accepted = taskbar && record.cbSize == sizeof(TrayIconData);
  if (accepted) {
    switch (message) {
      case kNimAdd: accepted = it == icons.end(); break;
      case kNimModify:
      case kNimDelete: accepted = it != icons.end(); break;
      default: accepted = false; break;
    }
  }
  if (accepted) {
    if (message == kNimDelete) {
      icons.erase(it);
    } else {
      Icon& icon = icons[key];
      if (record.uFlags & kNifIcon) icon.hIcon = record.hIcon;
      if (record.uFlags & kNifTip) icon.tip = TipOf(record);
      if (record.uFlags & kNifMessage) icon.callbackMessage = record.uCallbackMessage;
    }
  }
  request.accepted = accepted;
  requests.push_back(request);
  return accepted;
}

// ---------------------------------------------------------------------------

MemoryPlatform::MemoryPlatform() {
  files.AddFolder(process.appPath);
  Install();
}

MemoryPlatform::~MemoryPlatform() { InstallPlatform(Platform()); }

void MemoryPlatform::Install() { InstallPlatform(TableOf(*this)); }

}  // namespace tavrel
