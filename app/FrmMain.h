// The main window: a small borderless clock panel. Its controls are the only
// copy of the user's options; other modules reach them through MainForm.
#pragma once

#include "platform/Forms.h"

namespace tavrel {

// Window sizes of the views, in twips.
constexpr long kMainWidth = 4102;
constexpr long kCompactHeight = 1725;

// Colours (0x00BBGGRR).
constexpr long kWindowGrey = 0x404040;     // RGB(64, 64, 64)
constexpr long kButtonYellow = 12648447;   // RGB(255, 255, 192)
constexpr long kIndicatorGreen = 0x00C000;
constexpr long kIndicatorRed = 8421631;    // RGB(255, 128, 128)
constexpr long kWhite = 0xFFFFFF;

class FrmMain : public Form {
 public:
  FrmMain();

  void Form_Load() override;
  void Form_QueryUnload(int& cancel, int unloadMode) override;
  void Form_Unload(int& cancel);

  // Clock panel.
  Control lblVRNHome;
  Control lblTimeHeader;
  Control Label1;
  Control lblTime;
  Control cmdTimeSync;
  Control optusnavy;
  Control optebay;
  Control Label4;
  Control lblLastUpdate;
  Control cmdExit;
  Control lblTimeZone;
  Control lblError;
  Control ErrorIndicator;

  // Options area.
  Control Frame2;
  Control chkStartInSysTray;
  Control chkTimeSync;
  Control chkExit;
  Control chkVoice;
  Control Label2;
  Control txtTimeCorrection;
  Control chkDT;

  // Time-zone panel.
  Control Frame1;
  Control Label8;

  // Never visible: read by the error reporter only.
  Control chkErrMsgBox;
  Control chkErrorLogEmail;

  Timer Timer1;

 private:
  void ReadTimeZone();
};

}  // namespace tavrel
