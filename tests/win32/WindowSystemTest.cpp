// The Win32 window system against real windows: controls become child
// windows that others can find by control ID and read, and what a user
// does to them reaches the control objects.
#include <gtest/gtest.h>

#include "platform/Forms.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32WindowSystem.h"
#include "platform/win32/WindowClasses.h"

namespace tavrel {
namespace {

class TestForm : public Form {
 public:
  TestForm()
      : Form("TestForm"),
        label(*this, 501, ControlKind::Label, "label", {120, 120, 1500, 240}),
        button(*this, 502, ControlKind::Button, "button", {120, 480, 1500, 360}),
        frame(*this, 503, ControlKind::Frame, "frame", {1800, 120, 2400, 1800}),
        box(*this, 504, ControlKind::CheckBox, "box", {120, 240, 1800, 240}, &frame),
        text(*this, 505, ControlKind::TextBox, "text", {120, 600, 1200, 300}, &frame),
        list(*this, 506, ControlKind::ComboBox, "list", {120, 1000, 1200, 300}, &frame),
        option1(*this, 507, ControlKind::OptionButton, "option1", {120, 1000, 1200, 240}),
        option2(*this, 508, ControlKind::OptionButton, "option2", {120, 1300, 1200, 240}),
        picker(*this, 509, ControlKind::DatePicker, "picker", {120, 1600, 1400, 300}),
        picture(*this, 510, ControlKind::PictureBox, "picture", {120, 2000, 300, 300}),
        ticker(*this, "ticker", 50, false) {
    SetWidth(4500);
    SetHeight(2700);
    label.SetCaption("Hello label");
    button.SetCaption("&Press me");
    frame.SetCaption("Options:");
    box.SetCaption("Tick me");
    text.SetText("0");
    list.AddItem("60");
    list.AddItem("30");
    option1.SetCaption("one");
    option1.SetValue(-1);
    option2.SetCaption("two");
    box.Click = [this] { ++boxClicks; };
    button.Click = [this] { ++buttonClicks; };
    label.Click = [this] { ++labelClicks; };
    text.Change = [this] { ++textChanges; };
    ticker.Tick = [this] { ++ticks; };
  }

  void Form_QueryUnload(int& cancel, int unloadMode) override {
    ++closeRequests;
    lastUnloadMode = unloadMode;
    cancel = 1;
  }
  void Form_Click() override { ++formClicks; }
  void Form_Resume() override { ++resumes; }

  Control label, button, frame, box, text, list, option1, option2, picker, picture;
  Timer ticker;
  int boxClicks = 0, buttonClicks = 0, labelClicks = 0, textChanges = 0, ticks = 0;
  int closeRequests = 0, lastUnloadMode = -1, formClicks = 0, resumes = 0;
};

std::string TextOf(HWND hwnd) {
  char buffer[512] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND hwnd) {
  char buffer[128] = {};
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

class WindowSystemTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  void SetUp() override {
    form.Load();
    form.Show();
    hwnd = reinterpret_cast<HWND>(form.hwnd());
  }
  HWND Item(int id) { return GetDlgItem(hwnd, id); }
  void Pump() { Sys().windows->DoEvents(); }

  TestForm form;
  HWND hwnd = nullptr;
};

TEST_F(WindowSystemTest, FormIsABorderlessPopupOfTheDocumentedClassTitledByItsName) {
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(ClassOf(hwnd), kFormWindowClass);
  EXPECT_EQ(TextOf(hwnd), "TestForm");
  EXPECT_EQ(FindWindowA(kFormWindowClass, "TestForm"), hwnd);
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(WindowSystemTest, ControlsAreChildWindowsWithTheirIdsClassesAndTexts) {
  EXPECT_EQ(TextOf(Item(501)), "Hello label");
  EXPECT_EQ(ClassOf(Item(501)), "Static");
  EXPECT_EQ(TextOf(Item(502)), "&Press me");
  EXPECT_EQ(ClassOf(Item(502)), "Button");
  EXPECT_EQ(TextOf(Item(503)), "Options:");
  EXPECT_EQ(TextOf(Item(504)), "Tick me");
  EXPECT_EQ(TextOf(Item(505)), "0");
  EXPECT_EQ(ClassOf(Item(505)), "Edit");
  EXPECT_EQ(ClassOf(Item(506)), "ComboBox");
  EXPECT_EQ(ClassOf(Item(509)), "SysDateTimePick32");
  for (int id = 501; id <= 510; ++id) EXPECT_EQ(GetParent(Item(id)), hwnd) << id;
}

TEST_F(WindowSystemTest, TwipsTurnIntoPixelsAtTheDisplayResolution) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  RECT r;
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.right - r.left, MulDiv(4500, dpi, 1440));
  EXPECT_EQ(r.bottom - r.top, MulDiv(2700, dpi, 1440));
  EXPECT_EQ(Sys().windows->ScreenWidthTwips(), MulDiv(GetSystemMetrics(SM_CXSCREEN), 1440, dpi));
}

TEST_F(WindowSystemTest, ContainedControlsSitAtTheContainerOriginPlusTheirOwn) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  RECT r;
  GetWindowRect(Item(504), &r);
  POINT p{r.left, r.top};
  ScreenToClient(hwnd, &p);
  EXPECT_EQ(p.x, MulDiv(1800 + 120, dpi, 1440));
  EXPECT_EQ(p.y, MulDiv(120 + 240, dpi, 1440));

  form.frame.Move(600, 120, 2400, 1800);
  GetWindowRect(Item(504), &r);
  p = {r.left, r.top};
  ScreenToClient(hwnd, &p);
  EXPECT_EQ(p.x, MulDiv(600 + 120, dpi, 1440));
}

TEST_F(WindowSystemTest, ModelChangesShowInTheWindows) {
  form.label.SetCaption("Changed");
  EXPECT_EQ(TextOf(Item(501)), "Changed");
  form.label.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(Item(501)));
  form.button.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Item(502)));
  form.box.SetValue(2);
  EXPECT_EQ(SendMessageA(Item(504), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  form.list.SetListIndex(1);
  EXPECT_EQ(SendMessageA(Item(506), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(TextOf(Item(506)), "30");
}

// The clock's labels change every second: the text is set at once and
// painted with the window's next painting, not inside the change.
TEST_F(WindowSystemTest, ALabelsNewTextIsPaintedWithTheWindowsNextPainting) {
  Pump();
  RECT r;
  ASSERT_FALSE(GetUpdateRect(Item(501), &r, FALSE));
  form.label.SetCaption("12:00:01");
  EXPECT_EQ(TextOf(Item(501)), "12:00:01");
  EXPECT_TRUE(GetUpdateRect(Item(501), &r, FALSE));
  Pump();
  EXPECT_FALSE(GetUpdateRect(Item(501), &r, FALSE));
  // A hidden label (the header clock) shows with its latest text.
  form.label.SetVisible(false);
  form.label.SetCaption("12:00:02");
  form.label.SetVisible(true);
  EXPECT_EQ(TextOf(Item(501)), "12:00:02");
}

TEST_F(WindowSystemTest, HidingAContainerHidesWhatItHolds) {
  form.frame.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(Item(504)));
  EXPECT_FALSE(IsWindowVisible(Item(505)));
  form.frame.SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(Item(504)));
}

TEST_F(WindowSystemTest, ACheckBoxClickChangesTheModelValueAndRunsClick) {
  ASSERT_EQ(form.box.Value(), 0);
  SendMessageA(Item(504), BM_CLICK, 0, 0);
  EXPECT_EQ(form.box.Value(), 1);
  EXPECT_EQ(form.boxClicks, 1);
  EXPECT_EQ(SendMessageA(Item(504), BM_GETCHECK, 0, 0), BST_CHECKED);

  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(504, BN_CLICKED), reinterpret_cast<LPARAM>(Item(504)));
  EXPECT_EQ(form.box.Value(), 0);
  EXPECT_EQ(SendMessageA(Item(504), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(WindowSystemTest, ADisabledCheckBoxKeepsItsValue) {
  form.box.SetEnabled(false);
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(504, BN_CLICKED), reinterpret_cast<LPARAM>(Item(504)));
  EXPECT_EQ(form.box.Value(), 0);
}

TEST_F(WindowSystemTest, ButtonAndLabelClicksRunTheirHandlers) {
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(502, BN_CLICKED), reinterpret_cast<LPARAM>(Item(502)));
  EXPECT_EQ(form.buttonClicks, 1);
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(501, STN_CLICKED), reinterpret_cast<LPARAM>(Item(501)));
  EXPECT_EQ(form.labelClicks, 1);
}

TEST_F(WindowSystemTest, OptionClickSelectsItAndClearsItsSister) {
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(508, BN_CLICKED), reinterpret_cast<LPARAM>(Item(508)));
  EXPECT_EQ(form.option2.Value(), -1);
  EXPECT_EQ(form.option1.Value(), 0);
  EXPECT_EQ(SendMessageA(Item(507), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(Item(508), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(WindowSystemTest, TypingReachesTheModelOnceAndOwnTextsDoNotEcho) {
  SetWindowTextA(Item(505), "12");
  EXPECT_EQ(form.text.Text(), "12");
  EXPECT_EQ(form.textChanges, 1);
  form.text.SetText("7");  // the model's own change: one Change, no echo
  EXPECT_EQ(form.textChanges, 2);
  EXPECT_EQ(TextOf(Item(505)), "7");
}

TEST_F(WindowSystemTest, AChangeHandlerMayRewriteTheText) {
  form.text.Change = [this] {
    if (form.text.Text() != "0") form.text.SetText("0");
  };
  SetWindowTextA(Item(505), "abc");
  EXPECT_EQ(form.text.Text(), "0");
  EXPECT_EQ(TextOf(Item(505)), "0");
}

TEST_F(WindowSystemTest, ListSelectionReachesTheModel) {
  int clicks = 0;
  form.list.Click = [&] { ++clicks; };
  SendMessageA(Item(506), CB_SETCURSEL, 1, 0);
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(506, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(506)));
  EXPECT_EQ(form.list.ListIndex(), 1);
  EXPECT_EQ(form.list.Text(), "30");
  EXPECT_EQ(clicks, 1);
}

TEST_F(WindowSystemTest, DatePickerShowsTheModelDateAndReportsPicks) {
  form.picker.SetDate(MakeDateTime(2024, 2, 29, 10, 0, 0));
  SYSTEMTIME st{};
  ASSERT_EQ(SendMessageA(Item(509), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)), GDT_VALID);
  EXPECT_EQ(st.wYear, 2024);
  EXPECT_EQ(st.wMonth, 2);
  EXPECT_EQ(st.wDay, 29);

  int changes = 0;
  form.picker.Change = [&] { ++changes; };
  NMDATETIMECHANGE change{};
  change.nmhdr.hwndFrom = Item(509);
  change.nmhdr.idFrom = 509;
  change.nmhdr.code = DTN_DATETIMECHANGE;
  change.dwFlags = GDT_VALID;
  change.st.wYear = 2025;
  change.st.wMonth = 3;
  change.st.wDay = 1;
  SendMessageA(hwnd, WM_NOTIFY, 509, reinterpret_cast<LPARAM>(&change));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(form.picker.Date(), MakeDateTime(2025, 3, 1, 10, 0, 0));
}

TEST_F(WindowSystemTest, CloseRequestGoesToQueryUnload) {
  SendMessageA(hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(form.closeRequests, 1);
  EXPECT_EQ(form.lastUnloadMode, 0);
  EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowSystemTest, AClickOnTheBackgroundIsAFormClick) {
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(form.formClicks, 1);
  SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));  // a release alone is no click
  EXPECT_EQ(form.formClicks, 1);
}

TEST_F(WindowSystemTest, MouseDownOnAPictureReportsButtonAndTwips) {
  int button = 0;
  float x = -1, y = -1;
  form.picture.MouseDown = [&](int b, int, float px, float py) {
    button = b;
    x = px;
    y = py;
  };
  SendMessageA(Item(510), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 2));
  EXPECT_EQ(button, 2);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(x, static_cast<float>(MulDiv(4, 1440, dpi)));
  EXPECT_EQ(y, static_cast<float>(MulDiv(2, 1440, dpi)));
}

TEST_F(WindowSystemTest, AnExceptionInAHandlerIsReportedAtTheWindowProcedure) {
  std::string where, description;
  long number = 0;
  SetEventErrorHandler([&](const std::string& w, long n, const std::string& d) {
    where = w;
    number = n;
    description = d;
  });
  form.button.Click = [] { throw RuntimeError(errOverflow); };
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(502, BN_CLICKED), reinterpret_cast<LPARAM>(Item(502)));
  SetEventErrorHandler(nullptr);
  EXPECT_EQ(where, "WindowProc of Formular TestForm");
  EXPECT_EQ(number, errOverflow);
  EXPECT_EQ(description, "Overflow");
}

TEST_F(WindowSystemTest, TopMostIsTheWindowsExtendedStyleAlsoWithATooltip) {
  form.button.SetToolTip("a tooltip: an owned top-most window");
  form.SetTopMost(true);
  EXPECT_TRUE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  form.SetTopMost(false);
  EXPECT_FALSE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// Every resume message of 95 to 2003 reaches the form; the others of the
// power broadcast (suspend, battery) do not, and every one is granted.
TEST_F(WindowSystemTest, TheSystemsResumeFromStandbyIsAFormResume) {
  for (WPARAM event : {PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND, PBT_APMRESUMECRITICAL})
    EXPECT_TRUE(SendMessageA(hwnd, WM_POWERBROADCAST, event, 0));
  EXPECT_EQ(form.resumes, 3);
  for (WPARAM event : {PBT_APMQUERYSUSPEND, PBT_APMSUSPEND, PBT_APMPOWERSTATUSCHANGE})
    EXPECT_TRUE(SendMessageA(hwnd, WM_POWERBROADCAST, event, 0));
  EXPECT_EQ(form.resumes, 3);
}

TEST_F(WindowSystemTest, RegisteredMessagesKeepTheirNumber) {
  const unsigned created = Sys().windows->RegisterMessage("TaskbarCreated");
  EXPECT_GE(created, 0xC000u);
  EXPECT_EQ(Sys().windows->RegisterMessage("TaskbarCreated"), created);
}

TEST_F(WindowSystemTest, AnEnabledTimerTicksAndADisabledOneDoesNot) {
  form.ticker.SetEnabled(true);
  const DWORD start = GetTickCount();
  while (form.ticks == 0 && GetTickCount() - start < 10000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    Pump();
  }
  EXPECT_GT(form.ticks, 0);
  form.ticker.SetEnabled(false);
  const int ticks = form.ticks;
  Sleep(120);
  Pump();
  EXPECT_EQ(form.ticks, ticks);
}

TEST_F(WindowSystemTest, DoEventsLeavesAQuitForTheOuterLoop) {
  PostQuitMessage(3);
  Pump();
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

// A failing GetMessage fills no record: the loop must not end with what
// the record held.
BOOL WINAPI FailingGetMessage(LPMSG msg, HWND, UINT, UINT) {
  msg->wParam = 0xDEADBEEF;
  return -1;
}
BOOL WINAPI QuittingGetMessage(LPMSG msg, HWND, UINT, UINT) {
  msg->message = WM_QUIT;
  msg->wParam = 7;
  return 0;
}

TEST_F(WindowSystemTest, TheLoopEndsWithTheQuitCodeOrAFailureCodeNeverGarbage) {
  auto& windows = static_cast<Win32WindowSystem&>(*Sys().windows);
  EXPECT_EQ(Win32WindowSystem::kLoopFailed, windows.RunMessageLoop(FailingGetMessage));
  EXPECT_EQ(7, windows.RunMessageLoop(QuittingGetMessage));
}

// The system hands a freed menu slot to the next menu made; a slot still
// taken means a menu was left behind.
TEST_F(WindowSystemTest, APopupWithoutItsOwnerWindowLeavesNoMenuBehind) {
  HMENU probe = CreatePopupMenu();
  ASSERT_NE(nullptr, probe);
  DestroyMenu(probe);
  TestForm gone;  // never loaded: it has no window
  EXPECT_EQ(-1, Sys().windows->PopupMenu(gone, {MenuItem{"one", true, true}}, 0));
  HMENU next = CreatePopupMenu();
  EXPECT_EQ(LOWORD(reinterpret_cast<uintptr_t>(probe)), LOWORD(reinterpret_cast<uintptr_t>(next)));
  DestroyMenu(next);
}

TEST_F(WindowSystemTest, DestroyedFormTakesItsWindowAlong) {
  HWND other = nullptr;
  {
    TestForm second;
    second.Load();
    other = reinterpret_cast<HWND>(second.hwnd());
    ASSERT_TRUE(IsWindow(other));
  }
  EXPECT_FALSE(IsWindow(other));
}

// A form that opens small: the label and the picture lie in its first view,
// the frame with its check box and the label between them lie below.
class TallForm : public Form {
 public:
  TallForm()
      : Form("TallForm"),
        label(*this, 521, ControlKind::Label, "label", {120, 120, 1500, 240}),
        frame(*this, 522, ControlKind::Frame, "frame", {120, 3000, 2400, 1200}),
        box(*this, 523, ControlKind::CheckBox, "box", {120, 240, 1800, 240}, &frame),
        below(*this, 524, ControlKind::Label, "below", {120, 4500, 1500, 240}),
        picture(*this, 525, ControlKind::PictureBox, "picture", {2000, 120, 300, 300}) {
    SetWidth(4500);
    SetHeight(1500);
  }
  Control label, frame, box, below, picture;
};

TEST_F(WindowSystemTest, ControlsBelowTheFirstViewGetTheirWindowsWithTheirStateWhenTheFormGrows) {
  TallForm tall;
  tall.Load();
  HWND window = reinterpret_cast<HWND>(tall.hwnd());
  ASSERT_NE(GetDlgItem(window, 521), nullptr);
  ASSERT_NE(GetDlgItem(window, 525), nullptr);
  EXPECT_EQ(GetDlgItem(window, 522), nullptr);
  EXPECT_EQ(GetDlgItem(window, 523), nullptr);
  // What changes meanwhile is in the window when it comes.
  tall.box.SetCaption("Tick me");
  tall.box.SetValue(1);
  tall.below.SetCaption("hours");
  tall.below.SetEnabled(false);

  tall.SetHeight(4000);  // takes in the frame and its box, not the label below
  HWND frame = GetDlgItem(window, 522), box = GetDlgItem(window, 523);
  ASSERT_NE(frame, nullptr);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetDlgItem(window, 524), nullptr);
  EXPECT_EQ(TextOf(box), "Tick me");
  EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  // Each lies where it would had it been made with the others: the box
  // above its frame, both between the label and the picture made after.
  EXPECT_EQ(GetWindow(GetDlgItem(window, 525), GW_HWNDNEXT), box);
  EXPECT_EQ(GetWindow(box, GW_HWNDNEXT), frame);
  EXPECT_EQ(GetWindow(frame, GW_HWNDNEXT), GetDlgItem(window, 521));

  // Once the form has shown, every control has its window.
  tall.Show();
  Pump();
  HWND below = GetDlgItem(window, 524);
  ASSERT_NE(below, nullptr);
  EXPECT_EQ(TextOf(below), "hours");
  EXPECT_FALSE(IsWindowEnabled(below));
  EXPECT_EQ(GetWindow(GetDlgItem(window, 525), GW_HWNDNEXT), below);
}

struct TooltipSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindTooltip(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<TooltipSearch*>(lParam);
  if (ClassOf(hwnd) == TOOLTIPS_CLASSA && GetWindow(hwnd, GW_OWNER) == search->owner) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

TEST_F(WindowSystemTest, ToolTipsAreToolsOfTheFormsTooltipControl) {
  form.button.SetToolTip("Synchronize the PC with an Atomic Time");
  TooltipSearch search{hwnd, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&search));
  ASSERT_NE(search.found, nullptr);
  char text[256] = {};
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = hwnd;
  tool.uId = reinterpret_cast<UINT_PTR>(Item(502));
  tool.lpszText = text;
  SendMessageA(search.found, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, "Synchronize the PC with an Atomic Time");
  form.button.SetToolTip("");
  EXPECT_EQ(SendMessageA(search.found, TTM_GETTOOLCOUNT, 0, 0), 0);
}

TEST_F(WindowSystemTest, ColourRequestsAnswerWithTheControlsColours) {
  form.label.SetForeColor(0x800000);
  form.label.SetBackColor(0x404040);
  HDC dc = CreateCompatibleDC(nullptr);
  const LRESULT brush =
      SendMessageA(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Item(501)));
  EXPECT_NE(brush, 0);
  EXPECT_EQ(GetTextColor(dc), static_cast<COLORREF>(0x800000));
  EXPECT_EQ(GetBkColor(dc), static_cast<COLORREF>(0x404040));
  LOGBRUSH info{};
  GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof info, &info);
  EXPECT_EQ(info.lbColor, static_cast<COLORREF>(0x404040));
  DeleteDC(dc);
}

TEST_F(WindowSystemTest, SystemColoursAreLookedUp) {
  EXPECT_EQ(ToColorRef(static_cast<long>(0x8000000FL)), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ToColorRef(12648447), RGB(255, 255, 192));
}

}  // namespace
}  // namespace tavrel
