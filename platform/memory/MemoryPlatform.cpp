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

void MemoryClock::Advance(double seconds) {
  now = now.AddSeconds(seconds);
  if (seconds <= 0) return;
  const double ms = seconds * 1000.0 + tickRest_;
  const double whole = std::floor(ms);
  tickRest_ = ms - whole;
  tick += static_cast<uint32_t>(static_cast<uint64_t>(whole));
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
// Window system: peers that copy what a window would show.

MemoryControlPeer::MemoryControlPeer(Control& control) : control_(control) {
  for (Prop p : {Prop::Caption, Prop::Value, Prop::Visible, Prop::Enabled, Prop::BackColor, Prop::ToolTip,
                 Prop::Items, Prop::Bounds, Prop::Picture, Prop::Date, Prop::Font, Prop::Transparent,
                 Prop::MousePointer})
    Update(p);
}

void MemoryControlPeer::Update(Prop what) {
  switch (what) {
    case Prop::Caption: view_.caption = control_.Caption(); break;
    case Prop::Value: view_.value = control_.Value(); break;
    case Prop::Visible: view_.visible = control_.Visible(); break;
    case Prop::Enabled: view_.enabled = control_.Enabled(); break;
    case Prop::BackColor:
    case Prop::ForeColor:
      view_.backColor = control_.BackColor();
      view_.foreColor = control_.ForeColor();
      break;
    case Prop::ToolTip: view_.toolTip = control_.ToolTip(); break;
    case Prop::Items:
      view_.items = control_.Items();
      view_.listIndex = control_.ListIndex();
      break;
    case Prop::ListIndex:
      view_.listIndex = control_.ListIndex();
      view_.caption = control_.Caption();
      break;
    case Prop::Bounds: view_.bounds = control_.Bounds(); break;
    case Prop::Picture: view_.picture = control_.Picture(); break;
    case Prop::Date: view_.date = control_.Date(); break;
    case Prop::Font: view_.font = control_.Font(); break;
    case Prop::Transparent: view_.transparent = control_.Transparent(); break;
    case Prop::MousePointer: view_.pointer = control_.Pointer(); break;
    case Prop::TopMost: break;
  }
}

namespace {

class MemoryTimerPeer : public TimerPeer {
 public:
  MemoryTimerPeer(MemoryWindowSystem& system, Timer& timer) : system_(system), timer_(timer) {
    system_.timers.push_back(&timer_);
  }
  ~MemoryTimerPeer() override {
    auto& timers = system_.timers;
    timers.erase(std::remove(timers.begin(), timers.end(), &timer_), timers.end());
  }
  void Update() override {}

 private:
  MemoryWindowSystem& system_;
  Timer& timer_;
};

}  // namespace

MemoryFormPeer::MemoryFormPeer(MemoryWindowSystem& system, Form& form, WindowHandle handle)
    : system_(system), form_(form), handle_(handle) {
  caption = form.Caption();
  bounds = form.Bounds();
  visible = form.Visible();
  topMost = form.TopMost();
}

MemoryFormPeer::~MemoryFormPeer() { system_.windows.erase(handle_); }

void MemoryFormPeer::Update(Prop what) {
  switch (what) {
    case Prop::Caption: caption = form_.Caption(); break;
    case Prop::Bounds: bounds = form_.Bounds(); break;
    case Prop::Visible: visible = form_.Visible(); break;
    case Prop::TopMost: topMost = form_.TopMost(); break;
    default: break;
  }
}

std::unique_ptr<ControlPeer> MemoryFormPeer::CreateControlPeer(tavrel::Control& control) {
  auto peer = std::make_unique<MemoryControlPeer>(control);
  controls_[control.Id()] = peer.get();
  return peer;
}

void MemoryFormPeer::Refresh() { ++system_.refreshes; }

void MemoryFormPeer::BringToTop() { ++broughtToTop; }

void MemoryFormPeer::RunModal() {
  ++modalRuns;
  if (system_.onModal) system_.onModal(form_);
}

MemoryControlPeer* MemoryFormPeer::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

bool MemoryFormPeer::Shows(int id) const {
  MemoryControlPeer* peer = Control(id);
  if (!peer || !visible) return false;
  long left = 0, top = 0;
  for (const tavrel::Control* c = &peer->Model(); c; c = c->Container()) {
    if (!c->Visible()) return false;
    left += c->Bounds().left;
    top += c->Bounds().top;
  }
  return left < bounds.width && top < bounds.height;
}

std::unique_ptr<FormPeer> MemoryWindowSystem::CreateFormPeer(Form& form) {
  formsCreated.push_back(form.Name());
  if (onCreateForm) onCreateForm(form.Name());
  const WindowHandle handle = nextHandle_++;
  auto peer = std::make_unique<MemoryFormPeer>(*this, form, handle);
  windows[handle] = peer.get();
  return peer;
}

std::unique_ptr<TimerPeer> MemoryWindowSystem::CreateTimerPeer(Timer& timer) {
  return std::make_unique<MemoryTimerPeer>(*this, timer);
}

int MemoryWindowSystem::MessageBox(const std::string& text, const std::string& title, long style) {
  boxes.push_back({text, title, style});
  if (onMessageBox) onMessageBox(boxes.back());
  if (answers.empty()) return (style & 7) == vbYesNo ? vbYes : vbOK;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void MemoryWindowSystem::DoEvents() {
  ++doEvents;
  if (onDoEvents) onDoEvents();
}

unsigned MemoryWindowSystem::RegisterMessage(const std::string& name) {
  const auto it = registeredMessages.find(name);
  if (it != registeredMessages.end()) return it->second;
  const unsigned number = 0xC000u + static_cast<unsigned>(registeredMessages.size());
  registeredMessages[name] = number;
  return number;
}

int MemoryWindowSystem::PopupMenu(Form& owner, const std::vector<MenuItem>& items, int defaultIndex) {
  menus.push_back({owner.Name(), items, defaultIndex});
  if (menuChoices.empty()) return -1;
  const int choice = menuChoices.front();
  menuChoices.pop_front();
  return choice;
}

MemoryFormPeer* MemoryWindowSystem::Window(const std::string& formName) const {
  for (const auto& window : windows)
    if (window.second->Model().Name() == formName) return window.second;
  return nullptr;
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
  p.speech = &speech;
  p.downloads = &downloads;
  p.system = &system;
  p.locale = &locale;
  p.timeZone = &timeZone;
  p.process = &process;
  p.windows = &windows;
  p.notifyArea = &notifyArea;
  InstallPlatform(p);
}

}  // namespace tavrel
