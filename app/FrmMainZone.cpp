// The time-zone panel: the zone record read at load and again whenever the
// system says its clock or settings changed (every synchronisation reads
// it afresh as well), shown with this year's change dates and compared with
// today's rules; and the two controls that change the system's settings,
// the zone dialog and the date picker.
#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Text.h"
#include "timesync/VRN_TimeSync.h"
#include "timesync/ZoneUpdate.h"

namespace tavrel {
namespace {

constexpr int kMinimisedWithFocus = 2;

}  // namespace

void FrmMain::ReadTimeZone(const char* procedure) {
  ErrorTrap trap(kSourceMain, procedure);
  uint32_t result = TIME_ZONE_ID_INVALID;
  trap(60, [&] {
    for (auto& c : TZInfo.StandardName) c = u' ';
    for (auto& c : TZInfo.DaylightName) c = u' ';
  });
  trap(61, [&] { result = Sys().timeZone->Read(TZInfo); });
  if (result == TIME_ZONE_ID_INVALID) return;
  trap(62, [&] {
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
      default: break;
    }
  });
  ILocale& locale = *Sys().locale;
  trap(63, [&] { lblInfoValue(0).SetCaption(CStr(TZInfo.Bias)); });
  trap(64, [&] { lblInfoValue(1).SetCaption(RecordName(TZInfo.StandardName)); });
  trap(65, [&] { lblTimeZone.SetCaption(lblInfoValue(1).Caption()); });
  trap(66, [&] { lblInfoValue(2).SetCaption(locale.ShortDate(tzDate(TZInfo.StandardDate))); });
  trap(67, [&] { lblInfoValue(3).SetCaption(CStr(TZInfo.StandardBias)); });
  trap(68, [&] { lblInfoValue(4).SetCaption(RecordName(TZInfo.DaylightName)); });
  trap(69, [&] { lblInfoValue(5).SetCaption(locale.ShortDate(tzDate(TZInfo.DaylightDate))); });
  trap(70, [&] { lblInfoValue(6).SetCaption(CStr(TZInfo.DaylightBias)); });
  trap(71, [&] { ShowZoneRules(LookAtZone(CompiledZoneTable(), TZInfo, Sys().clock->Now().Year())); });
}

// A new zone, or the change between standard and daylight time, shows at
// once: the system tells every window when its clock or settings change.
void FrmMain::Form_SystemChange() { ReadTimeZone("Form_SystemChange of Formular FrmMain"); }

// The system's date and time dialog on its zone page; the panel follows
// the change the user makes there.
void FrmMain::cmdChangeTimeZone_Click() {
  ErrorTrap trap(kSourceMain, "cmdChangeTimeZone_Click of Formular FrmMain");
  trap(10, [&] { Sys().shell->Run("CONTROL.EXE timedate.cpl,,1", kMinimisedWithFocus); });
}

// The picked day becomes the system's date at the current time of day. A
// date the system refuses changes nothing; no error is reported.
void FrmMain::DTPicker1_Change() {
  ErrorTrap::Quietly([&] {
    const DateTime now = Sys().clock->Now();
    const double timeOfDay = now.Serial() - static_cast<double>(now.Days());
    Sys().clock->SetLocalTime(DateTime(static_cast<double>(DTPicker1.Date().Days()) + timeOfDay));
  });
  ErrorTrap::Quietly([] { Sys().clock->BroadcastTimeChange(); });
}

}  // namespace tavrel
