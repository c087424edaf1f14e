// The About window on the in-memory window system: what it shows after it
// loads, how its buttons look under the mouse, how it closes and is shown
// from the main window, the links to the home page, and where it finds the
// System Information tool.
#include <algorithm>
#include <string>

#include "about/frmAbout.h"
#include "app/ControlIds.h"
#include "app/FrmMain.h"
#include "app/PictureIds.h"
#include "TestPlatform.h"

namespace tavrel {
namespace {

const char* const kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const kUnavailable = "System Information Is Unavailable At This Time";

class AboutTest : public ProgramTest {
 protected:
  ~AboutTest() override { ReleaseAboutWindow(); }
  MemoryFormPeer* Window() { return sys.windows.Window("frmAbout"); }
  const ControlView& View(int id) { return Window()->Control(id)->View(); }
  static bool IsLoaded(const Form& form) {
    const auto& forms = LoadedForms();
    return std::find(forms.begin(), forms.end(), &form) != forms.end();
  }
};

TEST_F(AboutTest, LoadingSetsProductVersionAndCaption) {
  frmAbout& about = AboutWindow();
  EXPECT_EQ("About", about.Caption());
  about.Show();
  ASSERT_NE(nullptr, Window());
  EXPECT_EQ("About vrn Tavrel XP", Window()->caption);
  EXPECT_EQ("vrn Tavrel XP", View(IDC_About_lblTitle).caption);
  EXPECT_EQ("Version 3.10.1", View(IDC_About_lblVersion).caption);
  EXPECT_EQ("Platforms  Windows 95, 98, Me, NT, 2000 and XP", View(IDC_About_Label1).caption);
  EXPECT_EQ("OK", View(IDC_About_lblOk).caption);
  EXPECT_EQ("System Info ...", View(IDC_About_lblSysInfo).caption);
  EXPECT_EQ(IDB_ABOUT_BACK, about.Picture());
  EXPECT_EQ(IDB_BUTTON_UP, View(IDC_About_imgOk).picture);
  EXPECT_EQ(kAboutButtonText, View(IDC_About_lblOk).foreColor);
  EXPECT_FALSE(Window()->Shows(IDC_About_imgButton + 0));
  EXPECT_FALSE(Window()->Shows(IDC_About_imgButton + 1));
  for (int id : {IDC_About_lblOk, IDC_About_imgOk, IDC_About_lblSysInfo, IDC_About_Label2, IDC_About_Image1})
    EXPECT_TRUE(Window()->Shows(id)) << id;

  // Unloaded and shown again, it loads afresh: the texts are set anew.
  about.lblOk_Click();
  sys.process.version = {4, 10, 0};
  about.Show();
  EXPECT_EQ("Version 4.10.0", View(IDC_About_lblVersion).caption);
}

TEST_F(AboutTest, LeftButtonPressesTheButtonsAnyReleaseLetsThemGo) {
  frmAbout& about = AboutWindow();
  about.Show();
  struct Button {
    Control& label;
    int face;
  } buttons[] = {{about.lblOk, IDC_About_imgOk}, {about.lblSysInfo, IDC_About_ImgSysInfo}};
  for (Button& b : buttons) {
    const int label = b.label.Id();
    b.label.UserMouseDown(vbRightButton, 0, 10, 10);
    EXPECT_EQ(IDB_BUTTON_UP, View(b.face).picture);
    EXPECT_EQ(kAboutButtonText, View(label).foreColor);

    b.label.UserMouseDown(vbLeftButton, 0, 10, 10);
    EXPECT_EQ(IDB_BUTTON_DOWN, View(b.face).picture);
    EXPECT_EQ(kSystemButtonText, View(label).foreColor);

    b.label.UserMouseUp(vbRightButton, 0, 10, 10);
    EXPECT_EQ(IDB_BUTTON_UP, View(b.face).picture);
    EXPECT_EQ(kAboutButtonText, View(label).foreColor);
  }
  ASSERT_NE(nullptr, Window());  // pressing is not clicking
}

TEST_F(AboutTest, TheMainWindowShowsItModelessAndOkClosesIt) {
  FrmMain main;
  MainForm = &main;
  main.Load();
  main.lblShowAbout.UserClick();
  ASSERT_NE(nullptr, Window());
  EXPECT_TRUE(Window()->visible);
  EXPECT_EQ(0, Window()->modalRuns);
  EXPECT_EQ(&main, AboutWindow().Owner());

  AboutWindow().lblOk.UserClick();
  EXPECT_EQ(nullptr, Window());
  EXPECT_FALSE(IsLoaded(AboutWindow()));

  // The face's margin closes it as well.
  main.lblShowAbout.UserClick();
  AboutWindow().imgOk.UserClick();
  EXPECT_EQ(nullptr, Window());
  EXPECT_EQ("", sys.files.FileContent(ErrorLogPath()).value_or(""));
  MainForm = nullptr;
}

TEST_F(AboutTest, ShownModallyItReturnsWhenClosed) {
  FrmMain main;
  main.Load();
  bool shownWhileModal = false;
  sys.windows.onModal = [&](Form& form) {
    shownWhileModal = form.Name() == "frmAbout" && Window() && Window()->visible;
    AboutWindow().lblOk.UserClick();
  };
  ShowAboutModal(main);
  EXPECT_TRUE(shownWhileModal);
  EXPECT_EQ(nullptr, Window());
  EXPECT_EQ(&main, AboutWindow().Owner());
}

TEST_F(AboutTest, TheFourLinksOpenTheHomePage) {
  HomePageAddress = "http://home.example/vrn";
  frmAbout& about = AboutWindow();
  about.Show();
  for (Control* link : {&about.lblCopyright, &about.Label3, &about.Image1, &about.Label2}) {
    EXPECT_EQ(MousePointer::Hand, View(link->Id()).pointer) << link->Name();
    link->UserClick();
  }
  ASSERT_EQ(4u, sys.shell.executed.size());
  for (const MemoryShell::Call& call : sys.shell.executed) {
    EXPECT_EQ(about.hwnd(), call.owner);
    EXPECT_EQ("open", call.verb);
    EXPECT_EQ("http://home.example/vrn", call.file);
    EXPECT_EQ("", call.parameters);
    EXPECT_EQ("", call.directory);
    EXPECT_EQ(5, call.show);
  }
  EXPECT_EQ(MousePointer::Default, View(IDC_About_lblVersion).pointer);
}

// ---------------------------------------------------------------------------
// The System Information tool

class SystemInfoToolTest : public AboutTest {
 protected:
  void ToolPath(const std::string& path) {
    sys.registry.WriteString(RegRoot::LocalMachine, kToolKey, "PATH", path);
  }
  void ToolFolder(const std::string& folder) {
    sys.registry.WriteString(RegRoot::LocalMachine, kFolderKey, "MSINFO", folder);
  }
  void ExpectUnavailable() {
    ASSERT_EQ(1u, sys.windows.boxes.size());
    EXPECT_EQ(kUnavailable, sys.windows.boxes[0].text);
    EXPECT_EQ("Info", sys.windows.boxes[0].title);
    EXPECT_EQ(4096, sys.windows.boxes[0].style);
    EXPECT_TRUE(sys.shell.started.empty());
  }
};

TEST_F(SystemInfoToolTest, TheFirstValueIsStartedAsItStands) {
  ToolPath("D:\\Tools\\msinfo32.exe");  // not even there: no test is made
  ToolFolder("C:\\Elsewhere");
  RunSystemInfo();
  ASSERT_EQ(1u, sys.shell.started.size());
  EXPECT_EQ("D:\\Tools\\msinfo32.exe", sys.shell.started[0].first);
  EXPECT_EQ(1, sys.shell.started[0].second);
  EXPECT_TRUE(sys.windows.boxes.empty());
}

// Unquoted, C:\Program Files\... would start C:\Program.exe if one exists.
TEST_F(SystemInfoToolTest, APathWithBlanksIsQuoted) {
  ToolPath("C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe");
  AboutWindow().lblSysInfo.UserClick();
  ASSERT_EQ(1u, sys.shell.started.size());
  EXPECT_EQ("\"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe\"",
            sys.shell.started[0].first);
}

TEST_F(SystemInfoToolTest, TheSecondValueNamesTheFolderThatMustHoldTheTool) {
  ToolFolder("C:\\MSInfo");
  AboutWindow().ImgSysInfo.UserClick();
  ExpectUnavailable();

  sys.windows.boxes.clear();
  sys.files.AddFile("C:\\MSInfo\\msinfo32.exe", "MZ");
  AboutWindow().lblSysInfo.UserClick();
  ASSERT_EQ(1u, sys.shell.started.size());
  EXPECT_EQ("C:\\MSInfo\\MSINFO32.EXE", sys.shell.started[0].first);
  EXPECT_EQ(1, sys.shell.started[0].second);
  EXPECT_TRUE(sys.windows.boxes.empty());
}

TEST_F(SystemInfoToolTest, NeitherValueShowsTheMessage) {
  // A tool in the drive's root is not found through an empty folder value.
  sys.files.AddFile("C:\\MSINFO32.EXE", "MZ");
  RunSystemInfo();
  ExpectUnavailable();
}

TEST_F(SystemInfoToolTest, AToolThatWillNotStartShowsTheMessage) {
  ToolPath("C:\\broken.exe");
  sys.shell.runFails = true;
  RunSystemInfo();
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ(kUnavailable, sys.windows.boxes[0].text);
}

}  // namespace
}  // namespace tavrel
