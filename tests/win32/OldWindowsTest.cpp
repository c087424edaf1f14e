// What Windows 95, 98, Me and NT 4.0 refuse at run time although they
// export the call, forced here on Wine (which accepts it all) with
// compat::PretendMissing or a refusing stand-in, against what the user
// sees: timers that tick, the controls after one that cannot be made, a
// wait that waits, labels standing on the panel's picture, the pointer
// over the links, the pictures' stretching and the dialog font.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Win32TestSupport.h"
#include "app/PictureIds.h"
#include "platform/Forms.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32WindowSystem.h"
#include "platform/win32/WindowClasses.h"
#include "platform/win32/Win32Compat.h"

namespace tavrel {
namespace {

using compat::Feature;

// Collects what reaches the program's central error reporter.
class Reports {
 public:
  Reports() {
    SetEventErrorHandler([this](const std::string& where, long, const std::string& description) {
      lines.push_back(where + ": " + description);
    });
  }
  ~Reports() { SetEventErrorHandler(nullptr); }
  std::vector<std::string> lines;
};

class OldWindowsForm : public Form {
 public:
  OldWindowsForm()
      : Form("OldWindowsForm"),
        before(*this, 701, ControlKind::Label, "before", {120, 120, 1500, 240}),
        picker(*this, 702, ControlKind::DatePicker, "picker", {120, 480, 1400, 300}),
        after(*this, 703, ControlKind::Label, "after", {120, 900, 1500, 240}),
        button(*this, 704, ControlKind::Button, "button", {120, 1260, 1500, 360}),
        ticker(*this, "ticker", 50, false) {
    SetWidth(3000);
    SetHeight(2000);
    before.SetCaption("before");
    after.SetCaption("after");
    button.SetCaption("&Exit");
    ticker.Tick = [this] { ++ticks; };
  }
  Control before, picker, after, button;
  Timer ticker;
  int ticks = 0;
};

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
  return TRUE;
}

class OldWindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  void Load() {
    form.Load();
    form.Show();
    hwnd = reinterpret_cast<HWND>(form.hwnd());
    Sys().windows->DoEvents();  // the controls outside the window are made after the first showing
  }
  Win32WindowSystem& System() { return *static_cast<Win32WindowSystem*>(Sys().windows); }

  OldWindowsForm form;
  HWND hwnd = nullptr;
};

// ---------------------------------------------------------------------------
// Timers: their window is one every version can make (message-only windows
// came with 2000), a top-level window that nobody sees.

TEST_F(OldWindowsTest, TimersTickOnAHiddenTopLevelWindowThatEveryVersionHas) {
  Load();
  form.ticker.SetEnabled(true);
  const DWORD start = GetTickCount();
  while (form.ticks < 3 && GetTickCount() - start < 5000) Sys().windows->WaitForEvents(20);
  EXPECT_GE(form.ticks, 3);

  HWND timers = System().TimerWindow();
  ASSERT_NE(nullptr, timers);
  std::vector<HWND> topLevel;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&topLevel));
  EXPECT_NE(topLevel.end(), std::find(topLevel.begin(), topLevel.end(), timers)) << "not a top-level window";
  EXPECT_EQ(kTimerWindowClass, ClassOf(timers));
  EXPECT_EQ(nullptr, GetWindow(timers, GW_OWNER));
  EXPECT_FALSE(IsWindowVisible(timers));
}

// ---------------------------------------------------------------------------
// The common controls: comctl32 before 6.0 refuses the whole call for one
// flag it does not know, and registers nothing then.

TEST_F(OldWindowsTest, TheCommonControlsBefore60TakeTheClassesTheProgramAsksFor) {
  Pretend old(Feature::CommonControlFlags);
  EXPECT_FALSE(compat::InitCommonControls(ICC_DATE_CLASSES | 0x4000)) << "a 6.0 flag is refused";
  Win32WindowSystem fresh;
  Timer timer(form, "timer", 1000, false);
  auto peer = fresh.CreateTimerPeer(timer);  // registers the window classes
  EXPECT_TRUE(fresh.CommonControlsReady());
}

// Where the date picker's class is missing, the picker is reported once
// and every other control still gets its window.
HHOOK g_refusal = nullptr;
LRESULT CALLBACK RefuseDatePickers(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const auto* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
    const char* name = create->lpcs->lpszClass;
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) && lstrcmpiA(name, "SysDateTimePick32") == 0) return 1;
  }
  return CallNextHookEx(g_refusal, code, wParam, lParam);
}

TEST_F(OldWindowsTest, AControlThatCannotBeMadeIsReportedOnceAndTheOthersAreMade) {
  Reports reports;
  g_refusal = SetWindowsHookExA(WH_CBT, RefuseDatePickers, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, g_refusal);
  EXPECT_NO_THROW(Load());
  form.picker.SetDate(MakeDateTime(2024, 2, 29, 10, 0, 0));  // the clock's tick does this twice a second
  form.picker.Move(200, 480, 1400, 300);
  UnhookWindowsHookEx(g_refusal);

  EXPECT_EQ(nullptr, GetDlgItem(hwnd, 702));
  EXPECT_NE(nullptr, GetDlgItem(hwnd, 701));
  EXPECT_NE(nullptr, GetDlgItem(hwnd, 703));
  EXPECT_NE(nullptr, GetDlgItem(hwnd, 704));
  ASSERT_EQ(1u, reports.lines.size());
  EXPECT_EQ("Realize of Formular OldWindowsForm: Unable to create the control picker", reports.lines[0]);
}

// ---------------------------------------------------------------------------
// Waiting for events: 2000 and earlier refuse the raw-input wake bit (XP),
// and a wait that fails must still wait.

DWORD g_mask = 0;
int g_waits = 0;
DWORD WINAPI RecordingWait(DWORD, const HANDLE*, BOOL, DWORD, DWORD mask) {
  g_mask = mask;
  ++g_waits;
  return WAIT_TIMEOUT;
}
DWORD WINAPI FailingWait(DWORD, const HANDLE*, BOOL, DWORD, DWORD) {
  ++g_waits;
  SetLastError(ERROR_INVALID_PARAMETER);
  return WAIT_FAILED;
}

TEST_F(OldWindowsTest, AWaitAsksOnlyForMessagesEveryVersionKnows) {
  System().WaitForEventsWith(10, RecordingWait);
  EXPECT_EQ(0xFFu, g_mask);
  // And the real call takes it.
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, Win32WindowSystem::kWakeMask));
}

TEST_F(OldWindowsTest, AWaitThatFailsStillWaitsInsteadOfSpinning) {
  g_waits = 0;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 300) System().WaitForEventsWith(50, FailingWait);
  EXPECT_LE(g_waits, 8) << "one wait per 50 ms, not a busy loop";
  EXPECT_GE(g_waits, 4);
}

// ---------------------------------------------------------------------------
// A transparent label over the panel's picture: its background is the
// picture itself, drawn into it, not an 8x8 patch of it tiled (what
// Windows 9x makes of a larger pattern brush).

class PanelForm : public Form {
 public:
  PanelForm()
      : Form("PanelForm"),
        panel(*this, 711, ControlKind::Image, "panel", {0, 0, 4095, 1740}),
        label(*this, 712, ControlKind::Label, "label", {930, 240, 1080, 195}) {
    SetWidth(4102);
    SetHeight(1725);
    panel.SetPicture(IDB_PANEL);
    label.SetCaption("");
    label.SetTransparent(true);
  }
  Control panel, label;
};

TEST(OldWindowsPaintTest, ATransparentLabelsBackgroundIsThePictureBehindIt) {
  InstallWin32Platform();
  PanelForm form;
  form.Show();
  Sys().windows->DoEvents();
  HWND hwnd = reinterpret_cast<HWND>(form.hwnd());
  HWND label = GetDlgItem(hwnd, 712);
  ASSERT_NE(nullptr, label);
  auto* peer = reinterpret_cast<Win32FormPeer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  RECT client, at;
  GetClientRect(hwnd, &client);
  GetWindowRect(label, &at);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&at), 2);
  const int width = at.right - at.left, height = at.bottom - at.top;
  ASSERT_GT(width, 8);
  ASSERT_GT(height, 8);

  Canvas whole(client.right, client.bottom, RGB(255, 0, 255));
  peer->PaintBehind(whole.dc(), client, nullptr);
  Canvas background(width, height, RGB(255, 0, 255));
  EXPECT_TRUE(SendMessageA(label, WM_ERASEBKGND, reinterpret_cast<WPARAM>(background.dc()), 0));
  int differ = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) differ += background.At(x, y) != whole.At(at.left + x, at.top + y);
  EXPECT_EQ(0, differ) << "of " << width * height << " pixels";

  // Whatever brush the label is handed, it is no pattern: 9x would tile it.
  HDC dc = GetDC(label);
  auto brush = reinterpret_cast<HBRUSH>(SendMessageA(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(label)));
  ReleaseDC(label, dc);
  LOGBRUSH info{};
  ASSERT_TRUE(GetObjectA(brush, sizeof info, &info));
  EXPECT_NE(static_cast<UINT>(BS_PATTERN), info.lbStyle);
  EXPECT_NE(static_cast<UINT>(BS_DIBPATTERN), info.lbStyle);
  form.Unload();
}

// ---------------------------------------------------------------------------
// Small ones: the links' pointer, the pictures' stretching, the font.

TEST(OldWindowsLookTest, WithoutAHandTheLinksShowTheArrow) {
  EXPECT_NE(nullptr, Win32WindowSystem::CursorOf(MousePointer::Hand));
  Pretend old(Feature::HandCursor);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), Win32WindowSystem::CursorOf(MousePointer::Hand));
}

TEST(OldWindowsLookTest, WithoutHalftoneAShrunkPictureKeepsWholePixels) {
  Win32WindowSystem system;
  for (bool old : {false, true}) {
    SCOPED_TRACE(old ? "Windows 9x" : "NT");
    Pretend pretend(Feature::HalftoneStretch, old);
    Canvas canvas(137, 58, RGB(0, 0, 0));
    ASSERT_TRUE(system.DrawPicture(canvas.dc(), IDB_PANEL, canvas.All()));
    EXPECT_EQ(old ? COLORONCOLOR : HALFTONE, GetStretchBltMode(canvas.dc()));
  }
}

std::string FaceOf(HFONT font) {
  LOGFONTA info{};
  GetObjectA(font, sizeof info, &info);
  return info.lfFaceName;
}

TEST(OldWindowsLookTest, WithoutTahomaTheControlsGetTheFaceEveryVersionHas) {
  const Font tahoma{"Tahoma", 8, false};
  {
    Win32WindowSystem system;
    EXPECT_EQ("Tahoma", FaceOf(system.FontOf(tahoma)));
  }
  Pretend old(Feature::Tahoma);
  Win32WindowSystem system;
  EXPECT_EQ("Arial", FaceOf(system.FontOf(tahoma)));
  EXPECT_EQ("Arial", compat::InstalledFace("No Such Face At All"));
}

TEST(OldWindowsLookTest, WithoutTheVirtualScreenTheDesktopIsTheMainScreen) {
  Pretend old(Feature::VirtualScreen);
  Win32WindowSystem system;
  const Rect desktop = system.DesktopTwips();
  EXPECT_EQ(0, desktop.left);
  EXPECT_EQ(0, desktop.top);
  EXPECT_EQ(system.ScreenWidthTwips(), desktop.width);
  EXPECT_EQ(system.ScreenHeightTwips(), desktop.height);
}

TEST(OldWindowsLookTest, TheEnvironmentNamesTheFeaturesAProgramUnderTestGoesWithout) {
  SetEnvironmentVariableA("TAVREL_PRETEND_MISSING", "handcursor, Tahoma,NoSuchThing");
  compat::PretendMissingFromEnvironment();
  SetEnvironmentVariableA("TAVREL_PRETEND_MISSING", nullptr);
  EXPECT_TRUE(compat::PretendsMissing(Feature::HandCursor));
  EXPECT_TRUE(compat::PretendsMissing(Feature::Tahoma));
  EXPECT_FALSE(compat::PretendsMissing(Feature::HalftoneStretch));
  compat::PretendMissing(Feature::HandCursor, false);
  compat::PretendMissing(Feature::Tahoma, false);
  EXPECT_STREQ("CommonControlFlags", compat::FeatureName(Feature::CommonControlFlags));
}

}  // namespace
}  // namespace tavrel
