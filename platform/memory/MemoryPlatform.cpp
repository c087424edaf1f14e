#include "platform/memory/MemoryPlatform.h"

#include <cstdio>

#include "support/Text.h"

namespace tavrel {

// ---------------------------------------------------------------------------

void MemoryClock::SetLocalTime(DateTime localTime) {
  if (accept && !accept(now, localTime)) Raise(errPermissionDenied);
  sets.push_back(localTime);
  now = localTime;
}

std::string MemoryHttp::OpenUrl(const std::string& url) {
  requests.push_back(url);
  if (!handler) Raise(errInetFailure);
  return handler(url);
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
// Registry: keys and value names compared without regard to case.

std::string MemoryRegistry::KeyId(RegRoot root, const std::string& key) {
  std::string id = std::to_string(static_cast<int>(root));
  std::string k = UCase(key);
  while (!k.empty() && k.back() == '\\') k.pop_back();
  if (!k.empty()) id += "\\" + k;
  return id;
}

void MemoryRegistry::CheckWritable(RegRoot root) const {
  for (RegRoot r : readOnlyRoots)
    if (r == root) Raise(errRegistryAccess, "Registry write access denied");
}

RegValue MemoryRegistry::Read(RegRoot root, const std::string& key, const std::string& name) {
  const auto k = keys_.find(KeyId(root, key));
  if (k == keys_.end()) Raise(errRegistryAccess, "Unable to open registry key for reading");
  const auto v = k->second.values.find(UCase(name));
  if (v == k->second.values.end()) Raise(errRegistryAccess, "Unable to open registry key for reading");
  return v->second.second;
}

void MemoryRegistry::Write(RegRoot root, const std::string& key, const std::string& name,
                           const RegValue& value) {
  CheckWritable(root);
  // Creating a key creates its parents.
  std::string k = key;
  while (!k.empty() && k.back() == '\\') k.pop_back();
  for (std::size_t pos = 0;; ++pos) {
    pos = k.find('\\', pos);
    keys_[KeyId(root, k.substr(0, pos))];
    if (pos == std::string::npos) break;
  }
  keys_[KeyId(root, k)].values[UCase(name)] = {name, value};
}

void MemoryRegistry::WriteString(RegRoot root, const std::string& key, const std::string& name,
                                 const std::string& text) {
  RegValue v;
  v.type = RegValue::String;
  v.text = text;
  Write(root, key, name, v);
}

void MemoryRegistry::WriteDword(RegRoot root, const std::string& key, const std::string& name,
                                uint32_t number) {
  RegValue v;
  v.type = RegValue::Dword;
  v.number = number;
  Write(root, key, name, v);
}

void MemoryRegistry::DeleteValue(RegRoot root, const std::string& key, const std::string& name) {
  CheckWritable(root);
  auto k = keys_.find(KeyId(root, key));
  if (k == keys_.end() || k->second.values.erase(UCase(name)) == 0)
    Raise(errRegistryAccess, "Unable to remove registry key");
}

void MemoryRegistry::DeleteKey(RegRoot root, const std::string& key) {
  CheckWritable(root);
  const std::string id = KeyId(root, key);
  if (keys_.find(id) == keys_.end()) Raise(errRegistryAccess, "Unable to remove registry key");
  for (const auto& entry : keys_)
    if (entry.first.size() > id.size() && entry.first.compare(0, id.size() + 1, id + "\\") == 0)
      Raise(errRegistryAccess, "Unable to remove registry key");
  keys_.erase(id);
}

std::optional<RegValue> MemoryRegistry::Value(RegRoot root, const std::string& key,
                                              const std::string& name) const {
  const auto k = keys_.find(KeyId(root, key));
  if (k == keys_.end()) return std::nullopt;
  const auto v = k->second.values.find(UCase(name));
  if (v == k->second.values.end()) return std::nullopt;
  return v->second.second;
}

bool MemoryRegistry::KeyExists(RegRoot root, const std::string& key) const {
  return keys_.count(KeyId(root, key)) != 0;
}

// ---------------------------------------------------------------------------

void MemoryShell::Run(const std::string& commandLine, int windowStyle) {
  if (runFails) Raise(errFileNotFound);
  started.emplace_back(commandLine, windowStyle);
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
// Window system: peers that only remember.

namespace {

class MemoryControlPeer : public ControlPeer {
 public:
  void Update(Prop) override {}
};

class MemoryFormPeer : public FormPeer {
 public:
  MemoryFormPeer(MemoryWindowSystem& system, WindowHandle handle) : system_(system), handle_(handle) {}
  ~MemoryFormPeer() override { system_.windows.erase(handle_); }
  void Update(Prop) override {}
  std::unique_ptr<ControlPeer> CreateControlPeer(Control&) override {
    return std::make_unique<MemoryControlPeer>();
  }
  void Refresh() override { ++system_.refreshes; }
  WindowHandle Handle() override { return handle_; }

 private:
  MemoryWindowSystem& system_;
  WindowHandle handle_;
};

class MemoryTimerPeer : public TimerPeer {
 public:
  MemoryTimerPeer(MemoryWindowSystem& system, Timer& timer) : system_(system), timer_(timer) {
    system_.timers.push_back(&timer_);
  }
  ~MemoryTimerPeer() override {
    for (auto it = system_.timers.begin(); it != system_.timers.end(); ++it)
      if (*it == &timer_) {
        system_.timers.erase(it);
        break;
      }
  }
  void Update() override {}

 private:
  MemoryWindowSystem& system_;
  Timer& timer_;
};

}  // namespace

std::unique_ptr<FormPeer> MemoryWindowSystem::CreateFormPeer(Form& form) {
  formsCreated.push_back(form.Name());
  if (onCreateForm) onCreateForm(form.Name());
  const WindowHandle handle = nextHandle_++;
  windows[handle] = form.Name();
  return std::make_unique<MemoryFormPeer>(*this, handle);
}

std::unique_ptr<TimerPeer> MemoryWindowSystem::CreateTimerPeer(Timer& timer) {
  return std::make_unique<MemoryTimerPeer>(*this, timer);
}

int MemoryWindowSystem::MessageBox(const std::string& text, const std::string& title, long style) {
  boxes.push_back({text, title, style});
  if (answers.empty()) return vbOK;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void MemoryWindowSystem::DoEvents() {
  ++doEvents;
  if (onDoEvents) onDoEvents();
}

// ---------------------------------------------------------------------------

MemoryPlatform::MemoryPlatform() {
  files.AddFolder(process.appPath);
  Install();
}

MemoryPlatform::~MemoryPlatform() { InstallPlatform(Platform()); }

void MemoryPlatform::Install() {
  Platform p;
  p.clock = &clock;
  p.http = &http;
  p.udp = &udp;
  p.random = &random;
  p.registry = &registry;
  p.files = &files;
  p.shell = &shell;
  p.sound = &sound;
  p.system = &system;
  p.locale = &locale;
  p.timeZone = &timeZone;
  p.process = &process;
  p.windows = &windows;
  InstallPlatform(p);
}

}  // namespace tavrel
