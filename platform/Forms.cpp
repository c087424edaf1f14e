#include "platform/Forms.h"

#include "platform/Platform.h"
#include "platform/RuntimeError.h"

#include <algorithm>

namespace tavrel {
namespace {

EventErrorHandler& ErrorHandler() {
  static EventErrorHandler handler;
  return handler;
}

std::vector<Form*>& FormCollection() {
  static std::vector<Form*> forms;
  return forms;
}

}  // namespace

void SetEventErrorHandler(EventErrorHandler handler) { ErrorHandler() = std::move(handler); }

void ReportEventError(const std::string& where) noexcept {
  long number = errInvalidCall;
  std::string description;
  try {
    throw;
  } catch (const RuntimeError& e) {
    number = e.Number();
    description = e.Description();
  } catch (const std::exception& e) {
    description = e.what();
  } catch (...) {
    description = ErrorDescription(number);
  }
  try {
    if (ErrorHandler()) ErrorHandler()(where, number, description);
  } catch (...) {
    // The reporter never fails the window system.
  }
}

const std::vector<Form*>& LoadedForms() { return FormCollection(); }

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

void Control::SetFont(const tavrel::Font& font) {
  if (font == font_) return;
  font_ = font;
  Notify(Prop::Font);
}

void Control::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Notify(Prop::Transparent);
}

void Control::SetPointer(MousePointer pointer) {
  if (pointer == pointer_) return;
  pointer_ = pointer;
  Notify(Prop::MousePointer);
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

void Control::UserMouseUp(int button, int shift, float x, float y) {
  if (MouseUp) MouseUp(button, shift, x, y);
}

void Control::UserMouseMove(int button, int shift, float x, float y) {
  if (MouseMove) MouseMove(button, shift, x, y);
}

void Control::CreatePeer(FormPeer& formPeer) { peer_ = formPeer.CreateControlPeer(*this); }

// ---------------------------------------------------------------------------
// ControlArray

Control& ControlArray::Add(int index, Rect bounds, Control* container) {
  elements_.emplace_back(index, std::make_unique<Control>(form_, firstId_ + index, kind_,
                                                           name_ + "(" + std::to_string(index) + ")", bounds,
                                                           container ? container : container_));
  return *elements_.back().second;
}

Control& ControlArray::operator()(int index) const {
  for (const auto& element : elements_)
    if (element.first == index) return *element.second;
  tavrel::Raise(errSubscriptRange);
}

bool ControlArray::Has(int index) const {
  for (const auto& element : elements_)
    if (element.first == index) return true;
  return false;
}

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

void Timer::SetInterval(long intervalMs) {
  if (intervalMs == interval_) return;
  interval_ = intervalMs;
  if (peer_) peer_->Update();
}

void Timer::Fire() {
  if (enabled_ && Tick) Tick();
}

void Timer::CreatePeer() { peer_ = Sys().windows->CreateTimerPeer(*this); }

// ---------------------------------------------------------------------------
// Form

Form::Form(std::string name, BorderStyle style) : name_(std::move(name)), style_(style) {}

Form::~Form() {
  auto& forms = FormCollection();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

void Form::Notify(Prop what) {
  if (peer_) peer_->Update(what);
}

void Form::SetCaption(const std::string& text) {
  if (text == caption_) return;
  caption_ = text;
  Notify(Prop::Caption);
}

void Form::SetLeft(long twips) { bounds_.left = twips; Notify(Prop::Bounds); }
void Form::SetTop(long twips) { bounds_.top = twips; Notify(Prop::Bounds); }
void Form::SetWidth(long twips) { bounds_.width = twips; Notify(Prop::Bounds); }
void Form::SetHeight(long twips) { bounds_.height = twips; Notify(Prop::Bounds); }

void Form::SetBackColor(long color) {
  backColor_ = color;
  Notify(Prop::BackColor);
}

void Form::SetPicture(int picture) {
  picture_ = picture;
  Notify(Prop::Picture);
}

void Form::Show(bool modal, Form* owner) {
  if (owner) owner_ = owner;
  if (!peer_) Load();
  if (!peer_) return;  // Form_Load unloaded it again
  visible_ = true;
  Notify(Prop::Visible);
  if (modal && peer_) peer_->RunModal();
}

void Form::Hide() {
  visible_ = false;
  Notify(Prop::Visible);
}

void Form::Refresh() {
  if (peer_) peer_->Refresh();
}

void Form::ZOrder() {
  if (peer_) peer_->BringToTop();
}

void Form::Drag() {
  if (peer_) peer_->Drag();
}

void Form::SetTopMost(bool topMost) {
  topMost_ = topMost;
  Notify(Prop::TopMost);
}

WindowHandle Form::hwnd() const { return peer_ ? peer_->Handle() : 0; }

void Form::Load() {
  if (peer_) return;
  peer_ = Sys().windows->CreateFormPeer(*this);
  FormCollection().push_back(this);
  for (Control* control : controls_) control->CreatePeer(*peer_);
  for (Timer* timer : timers_) timer->CreatePeer();
  Form_Load();
}

void Form::Unload(int unloadMode) {
  if (!peer_) return;
  int cancel = 0;
  Form_QueryUnload(cancel, unloadMode);
  if (cancel || !peer_) return;
  Form_Unload(cancel);
  if (cancel || !peer_) return;
  visible_ = false;
  DestroyPeers();
}

void Form::DestroyPeers() {
  auto& forms = FormCollection();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  for (Timer* timer : timers_) timer->peer_.reset();
  for (Control* control : controls_) control->peer_.reset();
  peer_.reset();
}

Control* Form::FindControl(int id) const {
  for (Control* control : controls_)
    if (control->Id() == id) return control;
  return nullptr;
}

}  // namespace tavrel
