// Stable IDs of the main window's controls: the child windows carry them,
// so screen readers and the test driver find each control by number. The
// elements of a control array carry consecutive numbers from its first one
// (lblInfo(3) is IDC_lblInfo + 3).
#pragma once

namespace tavrel {

enum ControlId : int {
  // Clock panel.
  IDC_Image1 = 1001,
  IDC_lblVRNHome,
  IDC_imgSysTray,
  IDC_imgMinimize,
  IDC_imgHome,
  IDC_lblTimeHeader,
  IDC_Label1,
  IDC_lblTime,
  IDC_ImgStop,
  IDC_imgCountdown,
  IDC_cmdTimeSync,
  IDC_optusnavy,
  IDC_optebay,
  IDC_Label4,
  IDC_lblLastUpdate,
  IDC_lblHelp,
  IDC_lblShowAbout,
  IDC_cmdOptions,
  IDC_cmdInfo,
  IDC_cmdExit,
  IDC_DTPicker1,
  IDC_lblTimeZone,
  IDC_lblError,
  IDC_ErrorIndicator,

  // Options area.
  IDC_Frame2 = 1101,
  IDC_chkStartWithWindow,
  IDC_chkStartInSysTray,
  IDC_chkTimeSync,
  IDC_chkWinOnTop,
  IDC_chkExit,
  IDC_chkVoice,
  IDC_chkPeriodic,
  IDC_txtPeriodic,
  IDC_Label2,
  IDC_txtTimeCorrection,
  IDC_chkDT,
  IDC_Combo1,
  IDC_Label10,
  IDC_Label9,
  IDC_Label3,
  IDC_cmdChangeTimeZone,
  IDC_cmdNewVersion,
  IDC_Label11,
  IDC_Frame3,
  IDC_txtIPaddress,
  IDC_Label13,
  IDC_Label14,
  IDC_Label15,
  IDC_Label16,
  IDC_optTimeSource = 1140,  // elements 0 to 2

  // Time-zone panel.
  IDC_Frame1 = 1201,
  IDC_Label8,
  IDC_Label5,
  IDC_Label6,
  IDC_Label7,
  IDC_Label12,
  IDC_lblInfo = 1210,       // elements 0 to 8 (7 lies in the options area)
  IDC_lblInfoValue = 1220,  // elements 0 to 6
  IDC_lblUT = 1230,         // element 7 only

  // The daylight-saving rules frame below the zone panel.
  IDC_Frame4 = 1240,
  IDC_lblRuleNote,
  IDC_cmdUpdateRules,
  IDC_cmdRestoreRules,

  // Never visible.
  IDC_chkErrMsgBox = 1301,
  IDC_chkErrorLogEmail,
  IDC_imgClock,
  IDC_imgYak,

  // The About window (frmAbout); its own window, so the names carry the
  // form's prefix.
  IDC_About_Picture1 = 1401,
  IDC_About_lblTitle,
  IDC_About_lblVersion,
  IDC_About_Label1,
  IDC_About_lblCopyright,
  IDC_About_Label3,
  IDC_About_Image1,
  IDC_About_Label2,
  IDC_About_imgOk,
  IDC_About_lblOk,
  IDC_About_ImgSysInfo,
  IDC_About_lblSysInfo,
  IDC_About_imgButton = 1420,  // elements 0 and 1
};

}  // namespace tavrel
