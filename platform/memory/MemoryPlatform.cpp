#include "platform/memory/MemoryPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "support/Text.h"

namespace tavrel {

// ---------------------------------------------------------------------------

void MemoryClock::SetLocalTime(DateTime localTime) {
  if (accept && !accept(now, localTime)) Raise(errPermissionDenied);
  sets.push_back(localTime);
  now = localTime;
}

void MemoryTimeZone::Write(const TimeZoneInformation& info) {
  if (refuseWrite) Raise(errPermissionDenied);
  zone = info;
  ++writes;
}

void MemoryClock::Advance(double seconds) {
  now = now.AddSeconds(seconds);
  if (seconds <= 0) return;
  const double ms = seconds * 1000.0 + tickRest_;
  const double whole = std::floor(ms);
  tickRest_ = ms - whole;
  tick += static_cast<uint32_t>(static_cast<uint64_t>(whole));
}

namespace {

// IMF-fixdate, the form servers send: "Tue, 08 Dec 2026 12:00:00 GMT".
std::string ImfFixdate(DateTime utc) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.Weekday() - 1], utc.Day(),
                kMonths[utc.Month() - 1], utc.Year(), utc.Hour(), utc.Minute(), utc.Second());
  return text;
}

}  // namespace

HttpAnswer MemoryHttp::Fetch(const std::string& url, const HttpOptions& how) {
  requests.push_back(url);
  options.push_back(how);
  const DateTime sent = clock.NowUtc();
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
    answer.headers += "Date: " + ImfFixdate(sent.AddSeconds(latency * stampAt + *serverOffset)) + "\r\n";
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

}  // namespace

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
