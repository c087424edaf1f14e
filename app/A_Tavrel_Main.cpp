#include "app/A_Tavrel_Main.h"

#include <memory>

#include "app/FrmMain.h"
#include "platform/Forms.h"
#include "internet/VRN_Internet.h"
#include "platform/SettingsStore.h"
#include "speech/VRN_PlaySound.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/VRN_ErrorLog.h"
#include "support/VRN_GetSystemInfos.h"
#include "support/VRN_Language.h"
#include "support/VRN_Registry.h"

namespace tavrel {
namespace {

// The one main window, created by Main and kept for the whole run.
std::unique_ptr<FrmMain> g_mainForm;

}  // namespace

std::string UserSettingsApplication() { return "VRN\\" + ProgramName + "\\" + UserName; }

std::string MachineSettingsApplication() { return "VRN\\" + ProgramName + "\\" + MachineCode; }

void ReleaseMainForm() {
  MainForm = nullptr;
  g_mainForm.reset();
}

void Main() {
  // An error that escapes an event handler's own traps reaches the log too.
  SetEventErrorHandler([](const std::string& where, long number, const std::string& description) {
    ReportError(true, ProductSource(), where, 0, number, description);
  });
  ErrorTrap trap(ProductSource(), "Main of Modul A_Tavrel_Main");
  // A second copy ends before it does anything: no window, no run, no
  // speech, no Run entry, no icon, nothing saved. The first copy comes to
  // the front instead (or stays in the notification area). One that cannot
  // tell ends too.
  bool another = true;
  trap(5, [&] { another = Sys().process->PrevInstance(); });
  if (another) {
    ErrorTrap::Quietly([] { Sys().process->ActivatePrevInstance(); });
    Sys().process->End();
  }
  trap(10, [] { ProgramName = "Tavrel"; });
  trap(20, [] { SoundAvailable = HasSound(); });
  trap(30, [] { Get_UrlList(); });
  trap(40, [] { ProductNumber = "230"; });
  trap(50, [] { GetPCInfos(); });
  trap(60, [] { LanguageSetting = GetSetting(UserSettingsApplication(), "Settings", "Language", "english"); });

  // Without its language file the program does not run; set_language has
  // told the user why.
  bool languageLoaded = false;
  if (!trap(70, [&] { languageLoaded = set_language(LanguageSetting + ".lng"); }) || !languageLoaded) return;

  // The version that ran last, rewritten at every start.
  trap(80, [] {
    const VersionNumbers v = Sys().process->Version();
    const std::string version =
        std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.revision);
    SaveMachineSetting(MachineSettingsApplication(), "Settings", "ProgramVersion", RegVariant::Of(version));
  });
  trap(90, [] { CreateErrorLog(); });
  trap(100, [] { Ini_TTS(); });

  // The window shows itself in Form_Load unless it starts in the
  // notification area; then it stays there instead of appearing anyway.
  trap(110, [] {
    g_mainForm = std::make_unique<FrmMain>();
    MainForm = g_mainForm.get();
  });
  trap(120, [] { MainForm->Load(); });
  trap(130, [] { MainForm->Refresh(); });
  // The window is on the screen since Form_Load: a click taken while the
  // events run (the options, the zone view) keeps the view it opened.
  long height = 0;
  trap(140, [&] {
    height = MainForm->Height();
    Sys().windows->DoEvents();
  });
  trap(150, [&] {
    if (MainForm->Height() == height) MainForm->SetHeight(kCompactHeight);
  });
  trap(160, [] {
    if (MainForm->chkStartInSysTray.Value() != 1) MainForm->Show();
  });
}

}  // namespace tavrel
