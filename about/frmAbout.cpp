#include "about/frmAbout.h"

#include <memory>

#include "app/ControlIds.h"
#include "app/PictureIds.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/VRN_Registry.h"

namespace tavrel {
namespace {

using K = ControlKind;

const char* const kSysInfoPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO\\PATH";
const char* const kSysInfoFolder = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location\\MSINFO";
constexpr int kNormalFocus = 1;       // the runtime's vbNormalFocus
constexpr long kWhite = 0xFFFFFF;

// The client area is 4380 x 4020 twips (the background's 292 x 268 pixels);
// the window adds its dialog frame and caption bar.
constexpr long kAboutWidth = 4380 + 90;
constexpr long kAboutHeight = 4020 + 375;

const Font kTitleFont{"Tahoma", 10, true};
const Font kButtonFont{"Tahoma", 8, true};
// The platforms line is the longest; at 8 points it would not fit beside
// the product's picture.
const Font kPlatformsFont{"Tahoma", 7, false};

const char* const kForm = "frmAbout";

void TextLabel(Control& label, const std::string& text) {
  label.SetCaption(text);
  label.SetTransparent(true);
  label.SetForeColor(kWhite);
}

void ButtonLabel(Control& label, const std::string& text) {
  label.SetCaption(text);
  label.SetTransparent(true);
  label.SetForeColor(kAboutButtonText);
  label.SetFont(kButtonFont);
}

// A command line starts its program by the first blank-free word unless
// the program's path is quoted: C:\Program Files\... would first try
// C:\Program.exe.
std::string CommandOf(const std::string& program) {
  if (program.find(' ') == std::string::npos || program.front() == '"') return program;
  return "\"" + program + "\"";
}

std::unique_ptr<frmAbout>& Instance() {
  static std::unique_ptr<frmAbout> about;
  return about;
}

}  // namespace

frmAbout::frmAbout()
    : Form("frmAbout", BorderStyle::FixedDialog),
      Picture1(*this, IDC_About_Picture1, K::Image, "Picture1", {240, 240, 720, 720}),
      lblTitle(*this, IDC_About_lblTitle, K::Label, "lblTitle", {1140, 240, 3120, 300}),
      lblVersion(*this, IDC_About_lblVersion, K::Label, "lblVersion", {1140, 600, 3120, 225}),
      Label1(*this, IDC_About_Label1, K::Label, "Label1", {1140, 870, 3225, 225}),
      lblCopyright(*this, IDC_About_lblCopyright, K::Label, "lblCopyright", {1140, 1350, 3120, 435}),
      Label3(*this, IDC_About_Label3, K::Label, "Label3", {240, 2500, 1920, 225}),
      Image1(*this, IDC_About_Image1, K::Image, "Image1", {240, 2760, 1920, 600}),
      Label2(*this, IDC_About_Label2, K::Label, "Label2", {240, 3420, 1920, 225}),
      imgOk(*this, IDC_About_imgOk, K::Image, "imgOk", {2595, 3405, 1455, 375}),
      lblOk(*this, IDC_About_lblOk, K::Label, "lblOk", {2625, 3495, 1380, 255}),
      ImgSysInfo(*this, IDC_About_ImgSysInfo, K::Image, "ImgSysInfo", {2625, 1935, 1455, 375}),
      lblSysInfo(*this, IDC_About_lblSysInfo, K::Label, "lblSysInfo", {2655, 2025, 1380, 255}),
      imgButton(*this, IDC_About_imgButton, K::Image, "imgButton") {
  SetCaption("About");
  SetWidth(kAboutWidth);
  SetHeight(kAboutHeight);
  SetPicture(IDB_ABOUT_BACK);
  // In the middle of the screen, where the main window's corner never is.
  ErrorTrap::Quietly([&] {
    SetLeft((Sys().windows->ScreenWidthTwips() - kAboutWidth) / 2);
    SetTop((Sys().windows->ScreenHeightTwips() - kAboutHeight) / 2);
  });

  Picture1.SetPicture(IDB_ABOUT_PRODUCT);
  TextLabel(lblTitle, "Application Title");
  lblTitle.SetFont(kTitleFont);
  TextLabel(lblVersion, "Version");
  TextLabel(Label1, "Platforms  Windows 95, 98, Me, NT, 2000 and XP");
  Label1.SetFont(kPlatformsFont);
  TextLabel(lblCopyright, "Copyright \xA9 v.r.n software\r\nall rights reserved");
  TextLabel(Label3, "Member of");
  Image1.SetPicture(IDB_ABOUT_SUITE);
  TextLabel(Label2, "Software Suite");
  for (Control* link : {&lblCopyright, &Label3, &Image1, &Label2}) link->SetPointer(MousePointer::Hand);

  imgOk.SetPicture(IDB_BUTTON_UP);
  ButtonLabel(lblOk, "OK");
  ImgSysInfo.SetPicture(IDB_BUTTON_UP);
  ButtonLabel(lblSysInfo, "System Info ...");
  imgButton.Add(0, {0, 0, 1455, 375}).SetPicture(IDB_BUTTON_UP);
  imgButton.Add(1, {0, 0, 1455, 375}).SetPicture(IDB_BUTTON_DOWN);
  imgButton(0).SetVisible(false);
  imgButton(1).SetVisible(false);

  lblOk.Click = [this] { lblOk_Click(); };
  imgOk.Click = [this] { imgOk_Click(); };
  lblSysInfo.Click = [this] { lblSysInfo_Click(); };
  ImgSysInfo.Click = [this] { ImgSysInfo_Click(); };
  lblOk.MouseDown = [this](int b, int s, float x, float y) { lblOk_MouseDown(b, s, x, y); };
  lblOk.MouseUp = [this](int b, int s, float x, float y) { lblOk_MouseUp(b, s, x, y); };
  lblSysInfo.MouseDown = [this](int b, int s, float x, float y) { lblSysInfo_MouseDown(b, s, x, y); };
  lblSysInfo.MouseUp = [this](int b, int s, float x, float y) { lblSysInfo_MouseUp(b, s, x, y); };
  lblCopyright.Click = [this] { lblCopyright_Click(); };
  Label3.Click = [this] { Label3_Click(); };
  Image1.Click = [this] { Image1_Click(); };
  Label2.Click = [this] { Label2_Click(); };
}

// Each step on its own: one that fails is skipped.
void frmAbout::Form_Load() {
  ErrorTrap::Quietly([&] {
    const VersionNumbers v = Sys().process->Version();
    lblVersion.SetCaption("Version " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                          std::to_string(v.revision));
  });
  ErrorTrap::Quietly([&] { lblTitle.SetCaption(Sys().process->ProductName()); });
  ErrorTrap::Quietly([&] { SetCaption("About " + Sys().process->ProductName()); });
}

void frmAbout::lblOk_Click() {
  ErrorTrap trap(ProductSource(), FormProcedure(kForm, "lblOK_Click"));
  trap(10, [&] { Unload(); });
  Sys().windows->DoEvents();
}

void frmAbout::imgOk_Click() { lblOk_Click(); }

void frmAbout::lblSysInfo_Click() {
  ErrorTrap trap(ProductSource(), FormProcedure(kForm, "lblSysInfo_Click"));
  trap(10, [&] { RunSystemInfo(); });
  Sys().windows->DoEvents();
}

void frmAbout::ImgSysInfo_Click() { lblSysInfo_Click(); }

// The pressed look only for the left button; any release restores it.
void frmAbout::lblOk_MouseDown(int button, int, float, float) {
  if (button != vbLeftButton) return;
  ErrorTrap::Quietly([&] { imgOk.SetPicture(imgButton(1).Picture()); });
  ErrorTrap::Quietly([&] { lblOk.SetForeColor(kSystemButtonText); });
}

void frmAbout::lblOk_MouseUp(int, int, float, float) {
  ErrorTrap::Quietly([&] { imgOk.SetPicture(imgButton(0).Picture()); });
  ErrorTrap::Quietly([&] { lblOk.SetForeColor(kAboutButtonText); });
}

void frmAbout::lblSysInfo_MouseDown(int button, int, float, float) {
  if (button != vbLeftButton) return;
  ErrorTrap::Quietly([&] { ImgSysInfo.SetPicture(imgButton(1).Picture()); });
  ErrorTrap::Quietly([&] { lblSysInfo.SetForeColor(kSystemButtonText); });
}

void frmAbout::lblSysInfo_MouseUp(int, int, float, float) {
  ErrorTrap::Quietly([&] { ImgSysInfo.SetPicture(imgButton(0).Picture()); });
  ErrorTrap::Quietly([&] { lblSysInfo.SetForeColor(kAboutButtonText); });
}

void frmAbout::OpenHomePage() {
  ErrorTrap::Quietly([&] { Sys().shell->Execute(hwnd(), "open", HomePageAddress, "", "", kSwShow); });
}

void frmAbout::lblCopyright_Click() { OpenHomePage(); }
void frmAbout::Label3_Click() { OpenHomePage(); }
void frmAbout::Image1_Click() { OpenHomePage(); }
void frmAbout::Label2_Click() { OpenHomePage(); }

// The tool's full path, or the folder it lives in. A path from the first
// value is started as it stands; a folder from the second must hold the
// program. Every failure ends in the one message.
void RunSystemInfo() {
  const bool started = ErrorTrap::Quietly([] {
    std::string program = ReadKey(kSysInfoPath);
    if (program.empty()) {
      const std::string folder = ReadKey(kSysInfoFolder);
      // No folder is no folder: "\MSINFO32.EXE" alone would look in the
      // root of the current drive.
      if (folder.empty()) Raise(errFileNotFound);
      program = folder + "\\MSINFO32.EXE";
      if (!Sys().files->MatchExists(program, 0)) Raise(errFileNotFound);
    }
    Sys().shell->Run(CommandOf(program), kNormalFocus);
  });
  if (!started)
    ErrorTrap::Quietly([] {
      Sys().windows->MessageBox("System Information Is Unavailable At This Time", "Info", vbOKOnly | vbSystemModal);
    });
}

frmAbout& AboutWindow() {
  if (!Instance()) Instance() = std::make_unique<frmAbout>();
  return *Instance();
}

void ShowAboutModeless(Form& owner) { AboutWindow().Show(false, &owner); }

void ShowAboutModal(Form& owner) { AboutWindow().Show(true, &owner); }

void ReleaseAboutWindow() { Instance().reset(); }

}  // namespace tavrel
