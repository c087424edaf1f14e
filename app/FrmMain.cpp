// The main window's design: every control with its caption, colours, font
// and rectangle (twips, inside its frame where it has one), and which
// handler each event runs. The handlers live in FrmMainEvents.cpp,
// FrmMainSettings.cpp and FrmMainTimer.cpp.
#include "app/FrmMain.h"

#include "about/frmAbout.h"
#include "app/ControlIds.h"
#include "app/PictureIds.h"
#include "support/ErrorDisplay.h"
#include "support/ErrorTrap.h"
#include "timesync/NtpServer.h"
#include "timesync/ZoneRules.h"

namespace tavrel {
namespace {

constexpr long kNavy = 0x800000;        // RGB(0, 0, 128)
constexpr long kHeaderBlue = 0xC00000;  // RGB(0, 0, 192)
constexpr long kLinkBlue = 0xFF8080;    // RGB(128, 128, 255)

const Font kNormal{"Tahoma", 8, false};
const Font kBold{"Tahoma", 8, true};
const Font kClock{"Tahoma", 9, true};
const Font kSmall{"Tahoma", 7, false};

using K = ControlKind;

}  // namespace

FrmMain::FrmMain()
    : Form("FrmMain"),
      Image1(*this, IDC_Image1, K::Image, "Image1", {0, 0, 4095, 1740}),
      lblVRNHome(*this, IDC_lblVRNHome, K::Label, "lblVRNHome", {240, 0, 1830, 210}),
      imgSysTray(*this, IDC_imgSysTray, K::Image, "imgSysTray", {3630, 15, 150, 195}),
      imgMinimize(*this, IDC_imgMinimize, K::Image, "imgMinimize", {3795, 15, 150, 195}),
      imgHome(*this, IDC_imgHome, K::Image, "imgHome", {3945, 15, 150, 165}),
      lblTimeHeader(*this, IDC_lblTimeHeader, K::Label, "lblTimeHeader", {2280, -15, 1100, 210}),
      Label1(*this, IDC_Label1, K::Label, "Label1", {930, 240, 1080, 195}),
      // Wide enough for "12:59:59 PM" in bold Tahoma; it starts closer to
      // its caption to keep clear of the picture on its right.
      lblTime(*this, IDC_lblTime, K::Label, "lblTime", {2040, 225, 1275, 255}),
      ImgStop(*this, IDC_ImgStop, K::Image, "ImgStop", {300, 315, 480, 480}),
      imgCountdown(*this, IDC_imgCountdown, K::Image, "imgCountdown", {3360, 315, 480, 480}),
      cmdTimeSync(*this, IDC_cmdTimeSync, K::Button, "cmdTimeSync", {960, 480, 1455, 255}),
      optusnavy(*this, IDC_optusnavy, K::OptionButton, "optusnavy", {2520, 420, 855, 195}),
      optebay(*this, IDC_optebay, K::OptionButton, "optebay", {2520, 615, 855, 195}),
      Label4(*this, IDC_Label4, K::Label, "Label4", {930, 795, 840, 165}),
      lblLastUpdate(*this, IDC_lblLastUpdate, K::Label, "lblLastUpdate", {1800, 795, 1560, 165}),
      lblHelp(*this, IDC_lblHelp, K::Label, "lblHelp", {360, 810, 330, 195}),
      lblShowAbout(*this, IDC_lblShowAbout, K::Label, "lblShowAbout", {3375, 810, 420, 195}),
      cmdOptions(*this, IDC_cmdOptions, K::Button, "cmdOptions", {90, 1260, 1245, 240}),
      cmdInfo(*this, IDC_cmdInfo, K::Button, "cmdInfo", {1365, 1260, 660, 240}),
      cmdExit(*this, IDC_cmdExit, K::Button, "cmdExit", {2055, 1260, 615, 240}),
      DTPicker1(*this, IDC_DTPicker1, K::DatePicker, "DTPicker1", {2700, 1230, 1320, 270}),
      lblTimeZone(*this, IDC_lblTimeZone, K::Label, "lblTimeZone", {90, 1515, 3120, 195}),
      lblError(*this, IDC_lblError, K::Label, "lblError", {3255, 1515, 585, 195}),
      ErrorIndicator(*this, IDC_ErrorIndicator, K::PictureBox, "ErrorIndicator", {3900, 1560, 120, 135}),
      cmdChangeTimeZone(*this, IDC_cmdChangeTimeZone, K::Button, "cmdChangeTimeZone", {120, 1920, 1815, 255}),
      cmdNewVersion(*this, IDC_cmdNewVersion, K::Button, "cmdNewVersion", {2100, 1920, 1875, 255}),
      Frame3(*this, IDC_Frame3, K::Frame, "Frame3", {120, 2280, 3855, 2010}),
      optTimeSource(*this, IDC_optTimeSource, K::OptionButton, "optTimeSource", &Frame3),
      txtIPaddress(*this, IDC_txtIPaddress, K::TextBox, "txtIPaddress", {1200, 960, 2520, 285}, &Frame3),
      Label13(*this, IDC_Label13, K::Label, "Label13", {360, 1005, 840, 195}, &Frame3),
      Label14(*this, IDC_Label14, K::Label, "Label14", {360, 1305, 3375, 195}, &Frame3),
      Label15(*this, IDC_Label15, K::Label, "Label15", {120, 1560, 3615, 390}, &Frame3),
      Label16(*this, IDC_Label16, K::Label, "Label16", {360, 1305, 840, 195}, &Frame3),
      cboServerSource(*this, IDC_cboServerSource, K::ComboBox, "cboServerSource", {1200, 1260, 1215, 285}, &Frame3),
      txtNtpServer(*this, IDC_txtNtpServer, K::TextBox, "txtNtpServer", {2475, 1260, 1245, 285}, &Frame3),
      Frame2(*this, IDC_Frame2, K::Frame, "Frame2", {120, 4335, 3855, 3060}),
      chkStartWithWindow(*this, IDC_chkStartWithWindow, K::CheckBox, "chkStartWithWindow", {120, 240, 1815, 195}, &Frame2),
      chkStartInSysTray(*this, IDC_chkStartInSysTray, K::CheckBox, "chkStartInSysTray", {2040, 240, 1755, 195}, &Frame2),
      chkTimeSync(*this, IDC_chkTimeSync, K::CheckBox, "chkTimeSync", {120, 480, 1815, 195}, &Frame2),
      chkWinOnTop(*this, IDC_chkWinOnTop, K::CheckBox, "chkWinOnTop", {2040, 480, 1755, 195}, &Frame2),
      chkExit(*this, IDC_chkExit, K::CheckBox, "chkExit", {120, 720, 3615, 195}, &Frame2),
      chkVoice(*this, IDC_chkVoice, K::CheckBox, "chkVoice", {120, 1080, 1755, 195}, &Frame2),
      Combo1(*this, IDC_Combo1, K::ComboBox, "Combo1", {1920, 1050, 660, 285}, &Frame2),
      Label10(*this, IDC_Label10, K::Label, "Label10", {2640, 1080, 720, 195}, &Frame2),
      chkPeriodic(*this, IDC_chkPeriodic, K::CheckBox, "chkPeriodic", {120, 1440, 1755, 195}, &Frame2),
      txtPeriodic(*this, IDC_txtPeriodic, K::TextBox, "txtPeriodic", {1920, 1410, 660, 285}, &Frame2),
      Label9(*this, IDC_Label9, K::Label, "Label9", {2640, 1440, 720, 195}, &Frame2),
      Label2(*this, IDC_Label2, K::Label, "Label2", {120, 1800, 1755, 195}, &Frame2),
      txtTimeCorrection(*this, IDC_txtTimeCorrection, K::TextBox, "txtTimeCorrection", {1920, 1770, 660, 285}, &Frame2),
      Label3(*this, IDC_Label3, K::Label, "Label3", {2640, 1800, 720, 195}, &Frame2),
      chkDT(*this, IDC_chkDT, K::CheckBox, "chkDT", {120, 2160, 3615, 195}, &Frame2),
      lblMaxCorrection(*this, IDC_lblMaxCorrection, K::Label, "lblMaxCorrection", {120, 2730, 2340, 195}, &Frame2),
      txtMaxCorrection(*this, IDC_txtMaxCorrection, K::TextBox, "txtMaxCorrection", {2520, 2700, 480, 285}, &Frame2),
      lblMaxCorrectionMinutes(*this, IDC_lblMaxCorrectionMinutes, K::Label, "lblMaxCorrectionMinutes",
                              {3060, 2730, 675, 195}, &Frame2),
      Label11(*this, IDC_Label11, K::Label, "Label11", {2640, 7425, 885, 195}),
      Frame1(*this, IDC_Frame1, K::Frame, "Frame1", {4185, 30, 3855, 2160}),
      Label8(*this, IDC_Label8, K::Label, "Label8", {120, 240, 1860, 195}, &Frame1),
      lblInfo(*this, IDC_lblInfo, K::Label, "lblInfo"),
      lblInfoValue(*this, IDC_lblInfoValue, K::Label, "lblInfoValue", &Frame1),
      lblUT(*this, IDC_lblUT, K::Label, "lblUT", &Frame1),
      Label5(*this, IDC_Label5, K::Label, "Label5", {3360, 240, 420, 195}, &Frame1),
      Label6(*this, IDC_Label6, K::Label, "Label6", {1440, 1440, 420, 195}, &Frame1),
      Label7(*this, IDC_Label7, K::Label, "Label7", {3360, 1440, 420, 195}, &Frame1),
      Label12(*this, IDC_Label12, K::Label, "Label12", {2085, 1680, 1680, 195}, &Frame1),
      Frame4(*this, IDC_Frame4, K::Frame, "Frame4", {4185, 2280, 3855, 1575}),
      lblRuleNote(*this, IDC_lblRuleNote, K::Label, "lblRuleNote", {120, 240, 3615, 780}, &Frame4),
      cmdUpdateRules(*this, IDC_cmdUpdateRules, K::Button, "cmdUpdateRules", {120, 1140, 2280, 255}, &Frame4),
      cmdRestoreRules(*this, IDC_cmdRestoreRules, K::Button, "cmdRestoreRules", {2520, 1140, 1215, 255}, &Frame4),
      chkErrMsgBox(*this, IDC_chkErrMsgBox, K::CheckBox, "chkErrMsgBox", {0, 0, 0, 0}),
      chkErrorLogEmail(*this, IDC_chkErrorLogEmail, K::CheckBox, "chkErrorLogEmail", {0, 0, 0, 0}),
      imgClock(*this, IDC_imgClock, K::Image, "imgClock", {0, 0, 480, 480}),
      imgYak(*this, IDC_imgYak, K::Image, "imgYak", {0, 0, 480, 480}),
      Timer1(*this, "Timer1", 500, true) {
  Design();
  DesignOptions();
  DesignZonePanel();
  DesignRulesFrame();
  Colour();
  Connect();
  SetErrorDisplay(this);
}

FrmMain::~FrmMain() {
  if (ErrorDisplay() == this) SetErrorDisplay(nullptr);
  // The About window is owned by this one and goes with it.
  ReleaseAboutWindow();
}

void FrmMain::Design() {
  SetWidth(kMainWidth);
  SetHeight(kCompactHeight);
  SetBackColor(kWindowGrey);

  Image1.SetPicture(IDB_PANEL);
  lblVRNHome.SetCaption("v.r.n  A_Tavrel");
  lblVRNHome.SetForeColor(kNavy);
  lblVRNHome.SetPointer(MousePointer::Hand);
  imgSysTray.SetPicture(IDB_TRAY_SEND);
  imgSysTray.SetToolTip("Send to System Tray");
  imgMinimize.SetPicture(IDB_SMALL_CLOCK);
  imgMinimize.SetToolTip("Small Clock");
  imgHome.SetPicture(IDB_HOME);
  imgHome.SetToolTip("Send to up right corner");
  lblTimeHeader.SetForeColor(kHeaderBlue);
  lblTimeHeader.SetFont(kBold);
  Label1.SetCaption("local time is:");
  Label1.SetFont(kBold);
  lblTime.SetFont(kClock);
  ImgStop.SetPicture(IDI_STOP);
  imgCountdown.SetPicture(IDB_YAK);
  cmdTimeSync.SetCaption("&Get  Atomic  Time");
  cmdTimeSync.SetToolTip("Synchronize the PC with an Atomic Time");
  optusnavy.SetCaption("us navy");
  optusnavy.SetValue(-1);
  optebay.SetCaption("ebay");
  Label4.SetCaption("Last Update :");
  Label4.SetFont(kSmall);
  lblLastUpdate.SetFont(kSmall);
  lblHelp.SetCaption("Help");
  lblHelp.SetToolTip("Get Help ");
  lblHelp.SetPointer(MousePointer::ArrowQuestion);
  lblShowAbout.SetCaption("About");
  lblShowAbout.SetToolTip("Show About Window");
  lblShowAbout.SetPointer(MousePointer::ArrowQuestion);
  cmdOptions.SetCaption("&Options");
  cmdInfo.SetCaption("&TZ Info");
  cmdExit.SetCaption("&Exit");
  lblTimeZone.SetFont(kBold);
  lblError.SetCaption("Error log");
  lblError.SetVisible(false);
  ErrorIndicator.SetBackColor(kIndicatorGreen);

  chkErrMsgBox.SetVisible(false);
  chkErrorLogEmail.SetVisible(false);
  imgClock.SetPicture(IDB_SYNC_CLOCK);
  imgClock.SetVisible(false);
  imgYak.SetPicture(IDB_YAK);
  imgYak.SetVisible(false);
}

// Texts on the panel's picture show it through; the rest stands on the
// window's grey. Captions without a colour of their own are white.
void FrmMain::Colour() {
  for (Control* control : Controls()) {
    const ControlKind kind = control->Kind();
    if (kind == K::Button) control->SetBackColor(kButtonYellow);
    if (kind != K::Label && kind != K::CheckBox && kind != K::OptionButton && kind != K::Frame) continue;
    control->SetBackColor(kWindowGrey);
    if (control->ForeColor() == 0) control->SetForeColor(kWhite);
    if (!control->Container() && control->Bounds().top < Image1.Bounds().height) control->SetTransparent(true);
  }
}

void FrmMain::DesignOptions() {
  cmdChangeTimeZone.SetCaption("Change Time Zone");
  cmdNewVersion.SetCaption("Check for new version");

  Frame3.SetCaption("Time Source:");
  // The web pages, serving NTP to the local network (while the clock is
  // set from the web or an NTP server), or an NTP server.
  for (int i = 0; i < 3; ++i) optTimeSource.Add(i, {120, 240 + 240L * i, 3615, 195});
  optTimeSource(0).SetCaption("direct Internet access (modem, LAN, etc.)");
  optTimeSource(0).SetValue(-1);
  optTimeSource(1).SetCaption("act as a NTP server for a local network");
  optTimeSource(2).SetCaption("NTP client within a local network");
  Label13.SetCaption("address :");
  Label14.SetCaption("Port : 123");
  // In Label14's row while the program serves: where its own time comes
  // from.
  Label16.SetCaption("sync from :");
  // The outcome of the last run or of serving, on two lines (the label's
  // height wraps it): several servers and what they said take more than one.
  Label15.SetFont(kSmall);
  Label16.SetVisible(false);
  cboServerSource.AddItem("web servers");
  cboServerSource.AddItem("NTP server");
  cboServerSource.SetListIndex(0);
  cboServerSource.SetVisible(false);
  txtNtpServer.SetVisible(false);
  txtNtpServer.SetEnabled(false);

  Frame2.SetCaption("Options:");
  chkStartWithWindow.SetCaption("Start with Windows");
  chkStartInSysTray.SetCaption("Start in system tray");
  chkTimeSync.SetCaption("Time Sync at startup");
  chkWinOnTop.SetCaption("Always on top");
  chkExit.SetCaption("Exit  5 seconds after time synchronization");
  chkVoice.SetCaption("Voice time every");
  for (const char* minutes : {"60", "30", "20", "15", "10", "5", "2"}) Combo1.AddItem(minutes);
  Combo1.SetListIndex(0);
  Label10.SetCaption("minutes");
  chkPeriodic.SetCaption("Time sync every");
  txtPeriodic.SetText("0");
  Label9.SetCaption("hours");
  Label2.SetCaption("Correct local time by");
  txtTimeCorrection.SetText("0");
  Label3.SetCaption("minutes");
  chkDT.SetCaption("Adjust clock for daylight savings changes");
  chkDT.SetValue(1);
  lblInfo.Add(7, {120, 2400, 3615, 195}, &Frame2).SetCaption(" (check this function also in the Windows settings!)");
  lblInfo(7).SetFont(kSmall);
  lblMaxCorrection.SetCaption("Ask before correcting more than");
  txtMaxCorrection.SetText("2");
  lblMaxCorrectionMinutes.SetCaption("minutes");
  Label11.SetCaption("bug report");
  Label11.SetForeColor(kLinkBlue);
  Label11.SetPointer(MousePointer::Hand);
}

void FrmMain::DesignZonePanel() {
  Frame1.SetCaption("Time Zone Information:");
  Label8.SetCaption("x");
  struct Row {
    int index;
    const char* caption;
    long left, top;
  };
  // Caption labels and, right of each, the label its value goes into.
  for (const Row& row : {Row{0, "UTC Bias:", 2040, 240}, Row{1, " ST Zone:", 120, 480}, Row{4, " DT Zone:", 120, 720},
                         Row{2, " ST Date:", 120, 960}, Row{5, " DT Date:", 120, 1200},
                         Row{3, " ST Bias:", 120, 1440}, Row{6, " DT Bias:", 2040, 1440}}) {
    lblInfo.Add(row.index, {row.left, row.top, 840, 195}, &Frame1);
    lblInfo(row.index).SetCaption(row.caption);
    const long width = row.index == 1 || row.index == 4 ? 2775 : row.index == 2 || row.index == 5 ? 1680 : 465;
    lblInfoValue.Add(row.index, {row.left + 840, row.top, width, 195}).SetCaption("x");
  }
  lblInfo.Add(8, {120, 1680, 840, 195}, &Frame1).SetCaption(" UT Time:");
  lblUT.Add(7, {960, 1680, 1065, 195}).SetCaption("x");
  Label5.SetCaption("min.");
  Label6.SetCaption("min.");
  Label7.SetCaption("min.");
  Label12.SetCaption("24h Format : hh:mm:ss");
}

// Shown only while there is something to do about the rules; the window
// grows to show it (ZoneViewHeight).
void FrmMain::DesignRulesFrame() {
  Frame4.SetCaption("Daylight-saving rules:");
  cmdUpdateRules.SetCaption("Update daylight-saving rules");
  cmdUpdateRules.SetToolTip(std::string("Write today's rules (") + kZoneDataVersion + ") into this computer's time zone");
  cmdUpdateRules.SetEnabled(false);
  cmdRestoreRules.SetCaption("Put back");
  cmdRestoreRules.SetToolTip("Put back the rules this computer had before the update");
  cmdRestoreRules.SetEnabled(false);
}

void FrmMain::Connect() {
  imgMinimize.Click = [this] { imgMinimize_Click(); };
  cmdOptions.Click = [this] { cmdOptions_Click(); };
  cmdInfo.Click = [this] { cmdInfo_Click(); };
  imgHome.Click = [this] { form_click(); };
  imgSysTray.Click = [this] { imgSysTray_Click(); };
  Image1.MouseDown = [this](int button, int shift, float x, float y) { Image1_MouseDown(button, shift, x, y); };
  cmdExit.Click = [this] { cmdExit_Click(); };
  chkWinOnTop.Click = [this] { chkWinOnTop_Click(); };
  chkStartWithWindow.Click = [this] { chkStartWithWindow_Click(); };
  chkVoice.Click = [this] { chkVoice_Click(); };
  lblHelp.Click = [this] { lblHelp_Click(); };
  lblVRNHome.Click = [this] { lblVRNHome_Click(); };
  Label11.Click = [this] { Label11_Click(); };
  lblShowAbout.Click = [this] { lblShowAbout_Click(); };
  txtPeriodic.Change = [this] { txtPeriodic_Change(); };
  txtIPaddress.Change = [this] { txtIPaddress_Change(); };
  for (int i = 0; i < 3; ++i) optTimeSource(i).Click = [this, i] { optTimeSource_Click(i); };
  cboServerSource.Click = [this] { cboServerSource_Click(); };
  cmdTimeSync.Click = [this] { cmdTimeSync_Click(); };
  cmdChangeTimeZone.Click = [this] { cmdChangeTimeZone_Click(); };
  cmdUpdateRules.Click = [this] { cmdUpdateRules_Click(); };
  cmdRestoreRules.Click = [this] { cmdRestoreRules_Click(); };
  cmdNewVersion.Click = [this] { cmdNewVersion_Click(); };
  DTPicker1.Change = [this] { DTPicker1_Change(); };
  txtTimeCorrection.LostFocus = [this] { txtTimeCorrection_LostFocus(); };
  txtMaxCorrection.LostFocus = [this] { txtMaxCorrection_LostFocus(); };
  Timer1.Tick = [this] { Timer1_Timer(); };
}

bool FrmMain::ErrorMessageBoxWanted() { return chkErrMsgBox.Value() == 1; }

bool FrmMain::ErrorMailWanted() { return chkErrorLogEmail.Value() == 1; }

void FrmMain::MarkError() {
  ErrorTrap::Quietly([this] { ErrorIndicator.SetBackColor(kIndicatorRed); });
  ErrorTrap::Quietly([this] { lblError.SetVisible(true); });
}

}  // namespace tavrel
