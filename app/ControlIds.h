// Stable IDs of the main window's controls: the child windows carry them,
// so screen readers and the test driver find each control by number.
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

  // Time-zone panel.
  IDC_Frame1 = 1201,
  IDC_Label8,

  // Never visible.
  IDC_chkErrMsgBox = 1301,
  IDC_chkErrorLogEmail,
};

}  // namespace tavrel
