// The main window's side of the notification area: the tray menu it builds,
// hiding into the notification area and coming back, and what the icon's
// mouse actions and the menu's items do.
#include <memory>

#include "about/frmAbout.h"
#include "app/FrmMain.h"
#include "app/PictureIds.h"
#include "internet/VRN_Internet.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "tray/frmSysTray.h"

namespace tavrel {
namespace {

const char* const kForm = "FrmMain";


}  // namespace

frmSysTray& FrmMain::SysTray() {
  if (!m_frmSysTray) Raise(errObjectNotSet);
  return *m_frmSysTray;
}

// A fresh tray object with a fresh menu, item 0 the bold default. The one
// before is released; if it still showed its icon, the icon goes with it.
void FrmMain::Make_Popup_Menu() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "Make_Popup_Menu"));
  trap(10, [&] { m_frmSysTray.reset(); });
  trap(20, [&] {
    m_frmSysTray = std::make_unique<frmSysTray>();
    m_frmSysTray->MenuClick = [this](long index, const std::string& key) { m_frmSysTray_MenuClick(index, key); };
    m_frmSysTray->SysTrayDoubleClick = [this](int button) { m_frmSysTray_SysTrayDoubleClick(button); };
    m_frmSysTray->SysTrayMouseDown = [this](int button) { m_frmSysTray_SysTrayMouseDown(button); };
    m_frmSysTray->SysTrayIconRefused = [this] { m_frmSysTray_IconRefused(); };
  });
  trap(30, [&] { SysTray().AddMenuItem("&Show A_Tavrel", "open", false); });
  trap(40, [&] { SysTray().AddMenuItem("-", "", false); });
  trap(50, [&] { SysTray().AddMenuItem("Synchronise now", "SyncNow", false); });
  trap(60, [&] { SysTray().AddMenuItem("-", "", false); });
  trap(70, [&] { SysTray().AddMenuItem("v.r.n on the &Web", "vrn", false); });
  trap(80, [&] { SysTray().AddMenuItem("&About...", "About", false); });
  trap(90, [&] { SysTray().AddMenuItem("-", "", false); });
  trap(100, [&] { SysTray().AddMenuItem("&Home Position", "home", false); });
}

void FrmMain::Send_to_SysTray() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "Send_to_SysTray"));
  trap(10, [&] { Make_Popup_Menu(); });
  trap(20, [&] { Hide(); });
  trap(30, [&] { SysTray().Add_Icon_To_Tray(); });
  trap(40, [&] { SysTray().SetIconHandle(Sys().windows->IconHandle(IDI_STOP)); });
  // The one place a user of the hidden program learns why it never sets the clock.
  if (!maySetClock_) trap(50, [&] { SysTray().SetToolTip(kAdministratorOnlyTip); });
}

// Unloading the tray object removes its icon. Errors are skipped silently.
void FrmMain::Restore_from_SysTray() {
  ErrorTrap::Quietly([&] {
    if (m_frmSysTray) m_frmSysTray->Unload();
  });
  ErrorTrap::Quietly([&] { m_frmSysTray.reset(); });
  ErrorTrap::Quietly([&] { Show(); });
  ErrorTrap::Quietly([&] { ZOrder(); });
}

// The key decides, compared exactly; the index is not used. A handler here
// may release the tray object that raised the event: m_frmSysTray is not
// touched afterwards.
void FrmMain::m_frmSysTray_MenuClick(long, const std::string& key) {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "m_frmSysTray_MenuClick"));
  if (key == "About") {
    trap(10, [&] { ShowAboutModal(*this); });
  } else if (key == "SyncNow") {
    trap(20, [&] { cmdTimeSync_Click(); });
  } else if (key == "open") {
    trap(30, [&] { Restore_from_SysTray(); });
  } else if (key == "vrn") {
    trap(40, [&] { Sys().shell->Execute(hwnd(), "open", WebSite() + "/vrn", "", "", kSwShow); });
  } else if (key == "home") {
    trap(50, [&] { Restore_from_SysTray(); });
    trap(60, [&] { form_click(); });
  } else {
    trap(70, [&] { Sys().windows->MessageBox("Clicked item with key " + key, kSourceMain, vbInformation); });
  }
}

void FrmMain::m_frmSysTray_SysTrayDoubleClick(long button) {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "m_frmSysTray_SysTrayDoubleClick"));
  if (button == vbLeftButton) trap(10, [&] { Restore_from_SysTray(); });
}

void FrmMain::m_frmSysTray_SysTrayMouseDown(long button) {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "m_frmSysTray_SysTrayMouseDown"));
  if (button == vbRightButton) trap(10, [&] { SysTray().ShowMenu(); });
}

// Without an icon a hidden window could never be reached again: it shows
// itself. The tray object stays, so that a task bar that comes after all
// still gets the icon.
void FrmMain::m_frmSysTray_IconRefused() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "m_frmSysTray_IconRefused"));
  trap(10, [&] { Show(); });
  trap(20, [&] { ZOrder(); });
}

void FrmMain::imgSysTray_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "imgSysTray_Click"));
  trap(10, [&] { Send_to_SysTray(); });
}

// The About window, shown modally over the main window, is for the About
// form to provide; until it exists the About label's box stands in.

}  // namespace tavrel
