// The main window: a small borderless clock panel. Its controls are the only
// copy of the user's options; other modules reach them through MainForm.
//
// The view is chosen by the window's size alone: compact (4102 x 1725
// twips), small clock (185 high: only the title strip), options (7440 high:
// the options area below the panel) and time zone (8160 x 2280: the zone
// panel beside it; 3900 high while the daylight-saving rules frame below the
// zone panel shows).
#pragma once

#include <memory>
#include <string>

#include "platform/Forms.h"
#include "support/ErrorDisplay.h"
#include "tray/frmSysTray.h"

namespace tavrel {

struct ZoneRulesState;
enum class ZoneChangeOutcome;

// Window sizes of the views, in twips.
constexpr long kMainWidth = 4102;
constexpr long kZoneWidth = 8160;
constexpr long kCompactHeight = 1725;
constexpr long kSmallClockHeight = 185;
constexpr long kOptionsHeight = 7440;
constexpr long kZoneHeight = 2280;
// Down to the end of the options area's "Time Source:" frame, so that the
// view's left half ends on a whole frame.
constexpr long kZoneRulesHeight = 3900;

// Colours (0x00BBGGRR).
constexpr long kWindowGrey = 0x404040;     // RGB(64, 64, 64)
constexpr long kButtonYellow = 12648447;   // RGB(255, 255, 192)
constexpr long kIndicatorGreen = 0x00C000;
constexpr long kIndicatorRed = 8421631;    // RGB(255, 128, 128)
constexpr long kWhite = 0xFFFFFF;

class FrmMain : public Form, public IErrorDisplay {
 public:
  FrmMain();
  ~FrmMain() override;

  void Form_Load() override;
  void Form_QueryUnload(int& cancel, int unloadMode) override;
  void Form_Unload(int& cancel) override;
  void Form_SystemChange() override;
  void Form_Click() override { form_click(); }

  // Views and the home position.
  void imgMinimize_Click();
  void cmdOptions_Click();
  void cmdInfo_Click();
  void form_click();
  void Image1_MouseDown(int button, int shift, float x, float y);
  void cmdExit_Click();

  // Options that act at once.
  void chkWinOnTop_Click();
  void chkStartWithWindow_Click();
  void chkVoice_Click();

  // Links.
  void lblHelp_Click();
  void lblVRNHome_Click();
  void Label11_Click();
  void lblShowAbout_Click();

  // The new-version check behind "Check for new version".
  void cmdNewVersion_Click();
  void ChkNewVersion();

  // The timer and the period it keeps numeric.
  void Timer1_Timer();
  void txtPeriodic_Change();

  // The zone panel's controls that change the system's settings.
  void cmdChangeTimeZone_Click();
  void DTPicker1_Change();

  // The daylight-saving rules frame: what the computer's record is worth
  // against today's rules (read at load, at every change the system
  // announces and at every synchronisation), and the buttons that set the
  // rules right and put them back (app/FrmMainRules.cpp).
  void ShowZoneRules(const ZoneRulesState& state);
  void cmdUpdateRules_Click();
  void cmdRestoreRules_Click();
  // The time-zone view's height: taller while the rules frame shows.
  long ZoneViewHeight() const;

  // A synchronisation run, with or without its result message, and the
  // correction it reads.
  void TimeSync(bool meldung);
  void cmdTimeSync_Click();
  void txtTimeCorrection_LostFocus();
  // The NTP server's address box shows the port it will ask.
  void txtIPaddress_Change();

  // The stored settings.
  void Load_Registry();
  void Save_Registry();
  // Moves the window onto the screen when its stored place lies off it.
  void KeepOnScreen();

  // The notification area: the tray menu, hiding into it and coming back,
  // and the tray object's events (tray/FrmMainTray.cpp).
  void Make_Popup_Menu();
  void Send_to_SysTray();
  void Restore_from_SysTray();
  void m_frmSysTray_MenuClick(long index, const std::string& key);
  void m_frmSysTray_SysTrayDoubleClick(long button);
  void m_frmSysTray_SysTrayMouseDown(long button);
  void imgSysTray_Click();

  // What the error reporter asks of and does to the window.
  bool ErrorMessageBoxWanted() override;
  bool ErrorMailWanted() override;
  void MarkError() override;

  // Title strip and clock panel (Image1 first: it lies under all others).
  Control Image1;
  Control lblVRNHome;
  Control imgSysTray;
  Control imgMinimize;
  Control imgHome;
  Control lblTimeHeader;
  Control Label1;
  Control lblTime;
  Control ImgStop;
  Control imgCountdown;
  Control cmdTimeSync;
  Control optusnavy;
  Control optebay;
  Control Label4;
  Control lblLastUpdate;
  Control lblHelp;
  Control lblShowAbout;
  Control cmdOptions;
  Control cmdInfo;
  Control cmdExit;
  Control DTPicker1;
  Control lblTimeZone;
  Control lblError;
  Control ErrorIndicator;

  // Options area.
  Control cmdChangeTimeZone;
  Control cmdNewVersion;
  Control Frame3;
  ControlArray optTimeSource;
  Control txtIPaddress;
  Control Label13;
  Control Label14;
  Control Label15;
  Control Label16;
  Control Frame2;
  Control chkStartWithWindow;
  Control chkStartInSysTray;
  Control chkTimeSync;
  Control chkWinOnTop;
  Control chkExit;
  Control chkVoice;
  Control Combo1;
  Control Label10;
  Control chkPeriodic;
  Control txtPeriodic;
  Control Label9;
  Control Label2;
  Control txtTimeCorrection;
  Control Label3;
  Control chkDT;
  Control Label11;

  // Time-zone panel; lblInfo(7) is the note under the daylight option.
  Control Frame1;
  Control Label8;
  ControlArray lblInfo;
  ControlArray lblInfoValue;
  ControlArray lblUT;
  Control Label5;
  Control Label6;
  Control Label7;
  Control Label12;

  // Below the zone panel, while the record is out of date or saved rules
  // can be put back.
  Control Frame4;
  Control lblRuleNote;
  Control cmdUpdateRules;
  Control cmdRestoreRules;

  // Never visible: read by the error reporter, and the synchronisation's
  // picture sources.
  Control chkErrMsgBox;
  Control chkErrorLogEmail;
  Control imgClock;
  Control imgYak;

  Timer Timer1;

  // The current tray object, or none; replaced by Make_Popup_Menu.
  std::unique_ptr<frmSysTray> m_frmSysTray;

  // What the tray icon and the options view's result line say when this
  // process may not set the clock; the line holds some 45 characters in
  // the narrowest font the window may get.
  static constexpr const char* kAdministratorOnlyTip = "Only an administrator can set this computer's clock";
  static constexpr const char* kAdministratorOnlyLine = "Only an administrator can set the clock";

  // The least time between the end of one run and a periodic run, whatever
  // the period says: a period of 0 (or letters, which read as 0) would run
  // back to back, blocking the window and hammering the time servers.
  static constexpr uint32_t kMinPeriodicGapMs = 60 * 1000;

 private:
  void Design();
  void DesignOptions();
  void DesignZonePanel();
  void Colour();
  void Connect();
  void ReadTimeZone(const char* procedure = "Form_Load of Formular FrmMain");
  void DesignRulesFrame();
  // Re-reads the record after a change of the rules, or reports a refusal.
  void AfterRulesChange(const TimeZoneInformation& before, ZoneChangeOutcome outcome, bool ran,
                        const char* administratorText);
  bool rulesShown_ = false;
  void ShowSmallClock(bool small);
  void OpenPage(const char* handler, const std::string& path);
  void Speak(const std::string& text);
  void ShowTrayMenu();
  void m_frmSysTray_IconRefused();
  // Whether the last run ended less than kMinPeriodicGapMs ago (tick).
  bool RanRecently();
  // Asked once at start-up: an ordinary user on NT may not set the clock.
  // Then the options view and the tray icon say so, and the periodic runs,
  // which could only fail, send nothing; a run the user starts still runs.
  void CheckClockRight();
  bool maySetClock_ = true;
  bool hasRun_ = false;
  uint32_t lastRunEndTick_ = 0;
  // The tray object, raising 91 when there is none.
  frmSysTray& SysTray();
};

}  // namespace tavrel
