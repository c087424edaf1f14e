#include "app/FrmMain.h"

#include "app/ControlIds.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"

namespace tavrel {
namespace {
const char* const kFormLoad = "Form_Load of Formular FrmMain";
}

FrmMain::FrmMain()
    : Form("FrmMain"),
      lblVRNHome(*this, IDC_lblVRNHome, ControlKind::Label, "lblVRNHome", {240, 0, 1830, 210}),
      lblTimeHeader(*this, IDC_lblTimeHeader, ControlKind::Label, "lblTimeHeader", {2280, -15, 1200, 210}),
      Label1(*this, IDC_Label1, ControlKind::Label, "Label1", {930, 240, 1080, 195}),
      lblTime(*this, IDC_lblTime, ControlKind::Label, "lblTime", {2325, 225, 1000, 210}),
      cmdTimeSync(*this, IDC_cmdTimeSync, ControlKind::Button, "cmdTimeSync", {960, 480, 1455, 255}),
      optusnavy(*this, IDC_optusnavy, ControlKind::OptionButton, "optusnavy", {2520, 420, 855, 195}),
      optebay(*this, IDC_optebay, ControlKind::OptionButton, "optebay", {2520, 615, 855, 195}),
      Label4(*this, IDC_Label4, ControlKind::Label, "Label4", {930, 795, 795, 165}),
      lblLastUpdate(*this, IDC_lblLastUpdate, ControlKind::Label, "lblLastUpdate", {1770, 795, 1600, 165}),
      cmdExit(*this, IDC_cmdExit, ControlKind::Button, "cmdExit", {2055, 1260, 615, 240}),
      lblTimeZone(*this, IDC_lblTimeZone, ControlKind::Label, "lblTimeZone", {90, 1515, 3000, 195}),
      lblError(*this, IDC_lblError, ControlKind::Label, "lblError", {3255, 1515, 585, 195}),
      ErrorIndicator(*this, IDC_ErrorIndicator, ControlKind::PictureBox, "ErrorIndicator", {3900, 1560, 120, 135}),
      Frame2(*this, IDC_Frame2, ControlKind::Frame, "Frame2", {120, 3900, 3855, 2730}),
      chkStartInSysTray(*this, IDC_chkStartInSysTray, ControlKind::CheckBox, "chkStartInSysTray", {2040, 240, 1755, 195}, &Frame2),
      chkTimeSync(*this, IDC_chkTimeSync, ControlKind::CheckBox, "chkTimeSync", {120, 480, 1815, 195}, &Frame2),
      chkExit(*this, IDC_chkExit, ControlKind::CheckBox, "chkExit", {120, 720, 3615, 195}, &Frame2),
      chkVoice(*this, IDC_chkVoice, ControlKind::CheckBox, "chkVoice", {120, 1080, 1755, 195}, &Frame2),
      Label2(*this, IDC_Label2, ControlKind::Label, "Label2", {120, 1800, 1755, 195}, &Frame2),
      txtTimeCorrection(*this, IDC_txtTimeCorrection, ControlKind::TextBox, "txtTimeCorrection", {1920, 1800, 615, 285}, &Frame2),
      chkDT(*this, IDC_chkDT, ControlKind::CheckBox, "chkDT", {120, 2160, 3615, 195}, &Frame2),
      Frame1(*this, IDC_Frame1, ControlKind::Frame, "Frame1", {4185, 30, 3855, 2160}),
      Label8(*this, IDC_Label8, ControlKind::Label, "Label8", {120, 240, 1800, 195}, &Frame1),
      chkErrMsgBox(*this, IDC_chkErrMsgBox, ControlKind::CheckBox, "chkErrMsgBox", {0, 0, 0, 0}),
      chkErrorLogEmail(*this, IDC_chkErrorLogEmail, ControlKind::CheckBox, "chkErrorLogEmail", {0, 0, 0, 0}),
      Timer1(*this, "Timer1", 500, true) {
  SetWidth(kMainWidth);
  SetHeight(kCompactHeight);
  SetBackColor(kWindowGrey);

  lblVRNHome.SetCaption("v.r.n  A_Tavrel");
  lblVRNHome.SetForeColor(0x800000);
  lblTimeHeader.SetForeColor(0xC00000);
  Label1.SetCaption("local time is:");
  cmdTimeSync.SetCaption("&Get  Atomic  Time");
  cmdTimeSync.SetToolTip("Synchronize the PC with an Atomic Time");
  cmdTimeSync.SetBackColor(kButtonYellow);
  optusnavy.SetCaption("us navy");
  optusnavy.SetForeColor(kWhite);
  optusnavy.SetValue(-1);
  optebay.SetCaption("ebay");
  optebay.SetForeColor(kWhite);
  Label4.SetCaption("Last Update :");
  cmdExit.SetCaption("&Exit");
  cmdExit.SetBackColor(kButtonYellow);
  lblError.SetCaption("Error log");
  lblError.SetVisible(false);
  ErrorIndicator.SetBackColor(kIndicatorGreen);

  Frame2.SetCaption("Options:");
  chkStartInSysTray.SetCaption("Start in system tray");
  chkTimeSync.SetCaption("Time Sync at startup");
  chkExit.SetCaption("Exit  5 seconds after time synchronization");
  chkVoice.SetCaption("Voice time every");
  for (Control* box : {&chkStartInSysTray, &chkTimeSync, &chkExit, &chkVoice}) box->SetForeColor(kWhite);
  Label2.SetCaption("Correct local time by");
  txtTimeCorrection.SetText("0");
  chkDT.SetCaption("Adjust clock for daylight savings changes");
  chkDT.SetValue(1);

  Frame1.SetCaption("Time Zone Information:");
  Label8.SetCaption("x");

  chkErrMsgBox.SetVisible(false);
  chkErrorLogEmail.SetVisible(false);

  // Captions sit on the window's dark grey; those without a colour of their
  // own are drawn white so they can be read on it.
  for (Control* control : Controls()) {
    const ControlKind kind = control->Kind();
    if (kind != ControlKind::Label && kind != ControlKind::CheckBox &&
        kind != ControlKind::OptionButton && kind != ControlKind::Frame)
      continue;
    control->SetBackColor(kWindowGrey);
    if (control->ForeColor() == 0) control->SetForeColor(kWhite);
  }
}

void FrmMain::Form_Load() {
  ErrorTrap trap(kSourceMain, kFormLoad);
  trap(10, [&] { SetWidth(kMainWidth); });
  trap(30, [&] { lblTimeHeader.SetVisible(false); });
  trap(50, [&] { Show(); });
  ReadTimeZone();
}

// The zone record and the daylight flag are read once, here; the web time
// works with these start-up values for the whole run.
void FrmMain::ReadTimeZone() {
  ErrorTrap trap(kSourceMain, kFormLoad);
  uint32_t result = TIME_ZONE_ID_INVALID;
  trap(60, [&] {
    for (auto& c : TZInfo.StandardName) c = u' ';
    for (auto& c : TZInfo.DaylightName) c = u' ';
  });
  trap(70, [&] { result = Sys().timeZone->Read(TZInfo); });
  if (result == TIME_ZONE_ID_INVALID) return;
  trap(80, [&] {
    switch (result) {
      case TIME_ZONE_ID_UNKNOWN:
        Label8.SetCaption(" Time Zone Unknown!");
        DaylightActive = false;
        break;
      case TIME_ZONE_ID_STANDARD:
        Label8.SetCaption(" Standard Time...");
        DaylightActive = false;
        break;
      case TIME_ZONE_ID_DAYLIGHT:
        Label8.SetCaption(" Daylight Savings Time...");
        DaylightActive = true;
        break;
      default:
        break;
    }
  });
}

void FrmMain::Form_QueryUnload(int& cancel, int) {
  cancel = 1;
  Form_Unload(cancel);
}

void FrmMain::Form_Unload(int&) {
  MainForm = nullptr;
  Sys().process->End();
}

}  // namespace tavrel
