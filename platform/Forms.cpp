#include "platform/Forms.h"

#include "platform/Platform.h"
#include "platform/RuntimeError.h"

namespace tavrel {

// ---------------------------------------------------------------------------
// Control

Control::Control(Form& form, int id, ControlKind kind, std::string name, Rect bounds,
                 Control* container)
    : form_(form), id_(id), kind_(kind), name_(std::move(name)), bounds_(bounds),
      container_(container) {
  form_.Register(this);
}

Control::~Control() = default;

void Control::Notify(Prop what) {
  if (peer_) peer_->Update(what);
}

void Control::Raise(const std::function<void()>& handler) {
  if (handler) handler();
}

void Control::SetCaption(const std::string& text) {
  if (text == caption_) return;
  caption_ = text;
  Notify(Prop::Caption);
  if (kind_ == ControlKind::TextBox) Raise(Change);
}

void Control::SetValue(int value) {
  if (kind_ == ControlKind::CheckBox && (value < 0 || value > 2)) tavrel::Raise(errInvalidPropertyValue);
  if (kind_ == ControlKind::OptionButton) value = value ? -1 : 0;
  if (value == value_) return;
  value_ = value;
  if (kind_ == ControlKind::OptionButton && value_) {
    // Selecting one option clears its sisters in the same container.
    for (Control* other : form_.Controls()) {
      if (other != this && other->kind_ == ControlKind::OptionButton &&
          other->container_ == container_ && other->value_) {
        other->value_ = 0;
        other->Notify(Prop::Value);
      }
    }
  }
  Notify(Prop::Value);
  if (kind_ == ControlKind::CheckBox || value_) Raise(Click);
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Notify(Prop::Visible);
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Notify(Prop::Enabled);
}

void Control::SetBackColor(long color) {
  backColor_ = color;
  Notify(Prop::BackColor);
}

void Control::SetForeColor(long color) {
  foreColor_ = color;
  Notify(Prop::ForeColor);
}

void Control::SetToolTip(const std::string& text) {
  toolTip_ = text;
  Notify(Prop::ToolTip);
}

void Control::SetPicture(int picture) {
  picture_ = picture;
  Notify(Prop::Picture);
}

void Control::AddItem(const std::string& item) {
  items_.push_back(item);
  Notify(Prop::Items);
}

void Control::SetListIndex(int index) {
  if (index < -1 || index >= static_cast<int>(items_.size())) tavrel::Raise(errInvalidPropertyValue);
  if (index == listIndex_) return;
  listIndex_ = index;
  caption_ = index >= 0 ? items_[index] : std::string();
  Notify(Prop::ListIndex);
  Raise(Click);
}

void Control::SetDate(DateTime date) {
  if (date == date_) return;
  date_ = date;
  Notify(Prop::Date);
}

void Control::Move(long left, long top, long width, long height) {
  bounds_ = {left, top, width, height};
  Notify(Prop::Bounds);
}

void Control::UserClick() {
  if (!enabled_) return;
  switch (kind_) {
    case ControlKind::CheckBox: SetValue(value_ == 1 ? 0 : 1); break;
    case ControlKind::OptionButton:
      if (value_) Raise(Click); else SetValue(-1);
      break;
    default: Raise(Click); break;
  }
}

void Control::UserEditText(const std::string& text) { SetCaption(text); }

void Control::UserSelectItem(int index) { SetListIndex(index); }

void Control::UserPickDate(DateTime date) {
  if (date == date_) return;
  date_ = date;
  Raise(Change);
}

void Control::UserLeave() { Raise(LostFocus); }

void Control::UserMouseDown(int button, int shift, float x, float y) {
  if (MouseDown) MouseDown(button, shift, x, y);
}

void Control::CreatePeer(FormPeer& formPeer) { peer_ = formPeer.CreateControlPeer(*this); }

// ---------------------------------------------------------------------------
// Timer

Timer::Timer(Form& form, std::string name, long intervalMs, bool enabled)
    : name_(std::move(name)), interval_(intervalMs), enabled_(enabled) {
  form.Register(this);
}

Timer::~Timer() = default;

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (peer_) peer_->Update();
}

void Timer::Fire() {
  if (enabled_ && Tick) Tick();
}

void Timer::CreatePeer() { peer_ = Sys().windows->CreateTimerPeer(*this); }

// ---------------------------------------------------------------------------
// Form

Form::Form(std::string name) : name_(std::move(name)) {}

Form::~Form() = default;

void Form::Notify(Prop what) {
  if (peer_) peer_->Update(what);
}

void Form::SetLeft(long twips) { bounds_.left = twips; Notify(Prop::Bounds); }
void Form::SetTop(long twips) { bounds_.top = twips; Notify(Prop::Bounds); }
void Form::SetWidth(long twips) { bounds_.width = twips; Notify(Prop::Bounds); }
void Form::SetHeight(long twips) { bounds_.height = twips; Notify(Prop::Bounds); }

void Form::SetBackColor(long color) {
  backColor_ = color;
  Notify(Prop::BackColor);
}

void Form::Show() {
  if (!peer_) Load();
  visible_ = true;
  Notify(Prop::Visible);
}

void Form::Hide() {
  visible_ = false;
  Notify(Prop::Visible);
}

void Form::Refresh() {
  if (peer_) peer_->Refresh();
}

WindowHandle Form::hwnd() const { return peer_ ? peer_->Handle() : 0; }

void Form::Load() {
  if (peer_) return;
  peer_ = Sys().windows->CreateFormPeer(*this);
  for (Control* control : controls_) control->CreatePeer(*peer_);
  for (Timer* timer : timers_) timer->CreatePeer();
  Form_Load();
}

Control* Form::FindControl(int id) const {
  for (Control* control : controls_)
    if (control->Id() == id) return control;
  return nullptr;
}

}  // namespace tavrel
