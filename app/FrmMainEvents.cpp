// The main window's own events: loading and closing, the four views and the
// home position, dragging, the options that act at once and the links.
// Every handler runs its statements through a trap that reports to the
// error log and goes on; closing skips its errors silently.
#include <cmath>

#include "about/frmAbout.h"
#include "app/A_Tavrel_Main.h"
#include "app/FrmMain.h"
#include "internet/VRN_Internet.h"
#include "platform/Platform.h"
#include "speech/VRN_PlaySound.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/RunEntry.h"
#include "support/VRN_WindowsTopMost.h"
#include "support/Waits.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {
namespace {

const char* const kForm = "FrmMain";

constexpr double kFarewellSeconds = 2;

}  // namespace

// ---------------------------------------------------------------------------
// Loading and closing

void FrmMain::Form_Load() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "Form_Load"));
  trap(10, [&] { SetWidth(kMainWidth); });
  trap(20, [&] { Load_Registry(); });
  trap(30, [&] { lblTimeHeader.SetVisible(false); });
  trap(40, [&] {
    if (chkVoice.Value() == 1) Speak("welcome to a tavrel");
  });
  trap(45, [&] { CheckClockRight(); });
  trap(50, [&] {
    if (chkStartInSysTray.Value() == 1) Send_to_SysTray();
    else Show();
  });
  ReadTimeZone();
  trap(70, [&] {
    if (chkTimeSync.Value() == 1) cmdTimeSync_Click();
  });
}

void FrmMain::CheckClockRight() {
  maySetClock_ = Sys().clock->MaySetTime();
  if (!maySetClock_) Label15.SetCaption(kAdministratorOnlyLine);
}

// Every way of closing ends here: the close box, "&Exit", the end of a
// timed exit and Windows shutting down. The process ends inside, so the
// close is never cancelled.
void FrmMain::Form_QueryUnload(int& cancel, int) {
  cancel = 1;
  Form_Unload(cancel);
}

void FrmMain::cmdExit_Click() {
  int cancel = 1;
  Form_Unload(cancel);
}

// Every step runs whatever the one before did; errors are skipped silently.
void FrmMain::Form_Unload(int&) {
  ErrorTrap::Quietly([&] {
    if (chkVoice.Value() != 1) return;
    // Without a voice the window still takes its two seconds to close.
    ErrorTrap::Quietly([&] { Speak("goodbye and have a very nice day"); });
    // From the start rounded to a whole second: between 1.5 and 2.5 s.
    WaitWithEvents(MsFromWholeSecond(kFarewellSeconds));
  });
  ErrorTrap::Quietly([&] { Save_Registry(); });
  ErrorTrap::Quietly([&] {
    // Index 0 is the main window itself, which is not unloaded here.
    const std::vector<Form*> forms = LoadedForms();
    for (std::size_t i = forms.size(); i-- > 1;) forms[i]->Unload();
  });
  ErrorTrap::Quietly([&] { SetErrorDisplay(nullptr); });
  ErrorTrap::Quietly([&] { MainForm = nullptr; });
  ErrorTrap::Quietly([&] { ReleaseSpeechEngine(); });
  Sys().process->End();
}

// Through the engine Ini_TTS made; without one this raises, and the
// caller's trap reports it.
void FrmMain::Speak(const std::string& text) { SpeakText(text); }

// ---------------------------------------------------------------------------
// Views: chosen by the window's size alone.

void FrmMain::ShowSmallClock(bool small) {
  SetHeight(small ? kSmallClockHeight : kCompactHeight);
  SetWidth(kMainWidth);
  imgMinimize.SetToolTip(small ? "enlarge Clock" : "small Clock");
  lblTimeHeader.SetVisible(small);
}

void FrmMain::imgMinimize_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "imgMinimize_Click"));
  bool small = false;
  trap(10, [&] { small = Height() != kSmallClockHeight; });
  trap(20, [&] { ShowSmallClock(small); });
  if (small) trap(30, [&] { cmdOptions.SetCaption("&Options"); });
}

void FrmMain::cmdOptions_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "cmdOptions_Click"));
  bool open = false;
  trap(10, [&] { open = cmdOptions.Caption() == "&Options"; });
  if (open) {
    trap(20, [&] { cmdOptions.SetCaption("Save &Options"); });
    trap(30, [&] { SetHeight(kOptionsHeight); });
    trap(40, [&] { SetWidth(kMainWidth); });
    return;
  }
  trap(50, [&] { cmdOptions.SetCaption("&Options"); });
  trap(60, [&] { SetHeight(kCompactHeight); });
  trap(70, [&] { SetWidth(kMainWidth); });
  trap(80, [&] { Save_Registry(); });
}

// From any view but the compact one this returns to the compact view; from
// the options view it leaves "Save &Options" on the button.
void FrmMain::cmdInfo_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "cmdInfo_Click"));
  bool compact = false;
  trap(10, [&] { compact = Height() == kCompactHeight; });
  trap(20, [&] { SetHeight(compact ? ZoneViewHeight() : kCompactHeight); });
  trap(30, [&] { SetWidth(compact ? kZoneWidth : kMainWidth); });
  trap(40, [&] { Save_Registry(); });
}

// The top right corner of the screen, computed with the width the window
// has before the small clock resets it.
void FrmMain::form_click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "form_click"));
  trap(10, [&] { SetTop(30); });
  trap(20, [&] {
    const long screen = Sys().windows->ScreenWidthTwips();
    SetLeft(screen - (Width() + screen / 17));
  });
  trap(30, [&] { ShowSmallClock(true); });
  trap(40, [&] { cmdOptions.SetCaption("&Options"); });
}

void FrmMain::Image1_MouseDown(int button, int, float, float) {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "Image1_MouseDown"));
  if (button == vbRightButton) {
    trap(10, [&] { ShowTrayMenu(); });
    return;
  }
  if (button == vbMiddleButton) return;
  trap(20, [&] { Drag(); });
}

// The tray menu over the visible window: a fresh tray object, no icon.
void FrmMain::ShowTrayMenu() {
  Make_Popup_Menu();
  SysTray().ShowMenu();
}

// ---------------------------------------------------------------------------
// Options that act at once.

void FrmMain::chkWinOnTop_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "chkWinOnTop_Click"));
  trap(10, [&] {
    if (chkWinOnTop.Value() == 1) tavrel::SetTopMost(*this);
    else tavrel::SetNotTopMost(*this);
  });
}

// The entry is rewritten at every start (restoring the ticked box runs
// this), so it always names where the program is now. The path is quoted:
// unquoted, a folder with blanks (C:\Program Files\...) makes Windows try
// C:\Program.exe first.
void FrmMain::chkStartWithWindow_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "chkStartWithWindow_Click"));
  trap(10, [&] {
    if (chkStartWithWindow.Value() == 1)
      WriteRunEntry(ProgramName, "\"" + Sys().process->AppPath() + "\\" + Sys().process->ExeName() + ".exe\"");
    else
      RemoveRunEntry(ProgramName);
  });
}

// ---------------------------------------------------------------------------
// Links: pages of the maker's web site in the default browser.

void FrmMain::OpenPage(const char* handler, const std::string& path) {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, handler));
  trap(10, [&] { Sys().shell->Execute(hwnd(), "open", WebSite() + path, "", "", kSwShow); });
}

void FrmMain::lblHelp_Click() { OpenPage("lblHelp_Click", "/vrn/products/tavrel_e.htm"); }

void FrmMain::lblVRNHome_Click() { OpenPage("lblVRNHome_Click", "/vrn"); }

void FrmMain::Label11_Click() { OpenPage("Label11_Click", "/vrn/support/BugReport.htm"); }

void FrmMain::lblShowAbout_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "lblShowAbout_Click"));
  trap(10, [&] { ShowAboutModeless(*this); });
}

}  // namespace tavrel
