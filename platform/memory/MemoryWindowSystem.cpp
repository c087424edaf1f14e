#include "platform/memory/MemoryWindowSystem.h"

#include <algorithm>

namespace tavrel {

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

void MemoryWindowSystem::SystemChange() {
  std::vector<Form*> forms;
  for (const auto& window : windows) forms.push_back(&window.second->Model());
  for (Form* form : forms) form->Form_SystemChange();
}

void MemoryWindowSystem::PowerResume() {
  std::vector<Form*> forms;
  for (const auto& window : windows) forms.push_back(&window.second->Model());
  for (Form* form : forms) form->Form_Resume();
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

}  // namespace tavrel
