// The About window: product name, version, platforms, the maker's copyright
// line and software suite, an "OK" button that closes it and a
// "System Info ..." button that starts the Windows System Information tool.
// The copyright line, the suite's texts and its logo open the home page.
//
// Its buttons are pictures with a label on top: the label shows the text,
// the picture the face, and a click on either acts the same.
#pragma once

#include "platform/Forms.h"

namespace tavrel {

// Label colours of the buttons: light blue while released, the system's
// button-text colour while pressed.
constexpr long kAboutButtonText = 0xFFC0C0;
constexpr long kSystemButtonText = 0x80000012;

class frmAbout : public Form {
 public:
  frmAbout();

  void Form_Load() override;

  void lblOk_Click();
  void imgOk_Click();
  void lblSysInfo_Click();
  void ImgSysInfo_Click();
  void lblOk_MouseDown(int button, int shift, float x, float y);
  void lblOk_MouseUp(int button, int shift, float x, float y);
  void lblSysInfo_MouseDown(int button, int shift, float x, float y);
  void lblSysInfo_MouseUp(int button, int shift, float x, float y);
  void lblCopyright_Click();
  void Label3_Click();
  void Image1_Click();
  void Label2_Click();

  Control Picture1;
  Control lblTitle;
  Control lblVersion;
  Control Label1;
  Control lblCopyright;
  Control Label3;
  Control Image1;
  Control Label2;
  // Each face lies under its label.
  Control imgOk;
  Control lblOk;
  Control ImgSysInfo;
  Control lblSysInfo;
  // Never shown: element 0 holds the released face, element 1 the pressed.
  ControlArray imgButton;

 private:
  void OpenHomePage();
};

// Starts the System Information tool from where the registry says it is,
// or says it is unavailable.
void RunSystemInfo();

// The one About window, created on first use.
frmAbout& AboutWindow();
// Shown without blocking (the main window's "About"), owned by `owner` so
// that it stays in front of it, also when that is always on top.
void ShowAboutModeless(Form& owner);
// Shown modally, owned by `owner`: returns when the window is closed (the
// notification area's menu).
void ShowAboutModal(Form& owner);
// Releases the About window; the next use creates it afresh.
void ReleaseAboutWindow();

}  // namespace tavrel
