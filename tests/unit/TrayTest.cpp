// The notification area on the in-memory platform: the tray object's menu,
// icon record and event decoding, and the main window hiding into the
// notification area, coming back and answering the tray menu. The memory
// shell keeps the icons it was told about, so "no icon left behind" and
// "never two icons" are read from there.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "app/PictureIds.h"
#include "tray/frmSysTray.h"
#include "TestPlatform.h"

namespace tavrel {
namespace {

const char* const kSettingsKey = "Software\\VRN Program Settings\\VRN\\Tavrel\\TESTER\\Settings";

// What the shell does with the icon's callback: the mouse message's number
// is the x of a mouse move, which the window scales from pixels to twips.
void Shell(frmSysTray& tray, int mouseMessage) {
  tray.Form_MouseMove(0, 0, mouseMessage * Sys().windows->TwipsPerPixel(), 0);
}

uint32_t Dword(const MemoryNotifyArea::Request& request, std::size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | request.bytes[offset + i];
  return value;
}

std::vector<std::string> Captions(const MemoryWindowSystem::Menu& menu) {
  std::vector<std::string> captions;
  for (const MenuItem& item : menu.items) captions.push_back(item.caption);
  return captions;
}

class TrayIconTest : public ProgramTest {
 protected:
  // Records every event in the order raised.
  void Listen(frmSysTray& t) {
    t.SysTrayMouseDown = [this](int b) { events.push_back("down" + std::to_string(b)); };
    t.SysTrayMouseUp = [this](int b) { events.push_back("up" + std::to_string(b)); };
    t.SysTrayMouseMove = [this] { events.push_back("move"); };
    t.SysTrayDoubleClick = [this](int b) { events.push_back("double" + std::to_string(b)); };
    t.MenuClick = [this](long i, const std::string& key) { events.push_back(std::to_string(i) + ":" + key); };
  }
  const MemoryNotifyArea::Request& Last() const { return sys.notifyArea.requests.back(); }

  frmSysTray tray;
  std::vector<std::string> events;
};

// ---------------------------------------------------------------------------
// The menu

TEST_F(TrayIconTest, ThreeItemsAreNumberedFromZeroAndItemZeroIsTheBoldDefault) {
  EXPECT_EQ(0, tray.AddMenuItem("one", "k1", false));
  EXPECT_EQ(1, tray.AddMenuItem("-", "", false));
  EXPECT_EQ(2, tray.AddMenuItem("three", "k3", false));
  EXPECT_EQ(0, tray.DefaultMenuIndex());

  // The window exists from the first item on, titled and never shown.
  MemoryFormPeer* window = sys.windows.Window("frmSysTray");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ("Sys Tray Interface", window->caption);
  EXPECT_FALSE(window->visible);

  tray.ShowMenu();
  ASSERT_EQ(1u, sys.windows.menus.size());
  EXPECT_EQ("frmSysTray", sys.windows.menus[0].owner);
  EXPECT_EQ((std::vector<std::string>{"one", "-", "three"}), Captions(sys.windows.menus[0]));
  EXPECT_EQ(0, sys.windows.menus[0].defaultIndex);
}

TEST_F(TrayIconTest, DefaultIndexOutsideTheMenuBecomesZero) {
  tray.AddMenuItem("one", "k1", false);
  tray.AddMenuItem("two", "k2", true);
  EXPECT_EQ(1, tray.DefaultMenuIndex());
  tray.SetDefaultMenuIndex(2);
  EXPECT_EQ(0, tray.DefaultMenuIndex());
  tray.SetDefaultMenuIndex(1);
  EXPECT_EQ(1, tray.DefaultMenuIndex());
  tray.SetDefaultMenuIndex(-1);
  EXPECT_EQ(0, tray.DefaultMenuIndex());
}

TEST_F(TrayIconTest, RemovingItemZeroClearsItAndAMiddleItemMovesTheRestUp) {
  Listen(tray);
  for (const char* c : {"a", "b", "c", "d"}) tray.AddMenuItem(c, std::string("key-") + c, false);
  tray.EnableMenuItem(2, false);
  tray.RemoveMenuItem(9);   // outside: nothing
  tray.RemoveMenuItem(0);
  tray.RemoveMenuItem(1);

  sys.windows.menuChoices = {1};
  tray.ShowMenu();
  const auto& menu = sys.windows.menus.back();
  EXPECT_EQ((std::vector<std::string>{"", "c", "d"}), Captions(menu));
  // The enabled flag stays with its place; the key moves with its caption.
  EXPECT_FALSE(menu.items[2].enabled);
  EXPECT_EQ((std::vector<std::string>{"1:key-c"}), events);

  // A removal that leaves the default beyond the menu shows no bold item.
  tray.SetDefaultMenuIndex(2);
  tray.RemoveMenuItem(2);
  tray.ShowMenu();
  EXPECT_EQ(-1, sys.windows.menus.back().defaultIndex);
}

TEST_F(TrayIconTest, OnlyAChosenItemThatCanBeChosenRaisesMenuClick) {
  Listen(tray);
  tray.AddMenuItem("&Open", "open", false);
  tray.AddMenuItem("-", "", false);
  tray.AddMenuItem("Off", "off", false);
  tray.EnableMenuItem(2, false);
  sys.windows.menuChoices = {-1, 1, 2, 0};
  for (int i = 0; i < 4; ++i) tray.ShowMenu();
  EXPECT_EQ((std::vector<std::string>{"0:open"}), events);
}

// ---------------------------------------------------------------------------
// The icon and its record

TEST_F(TrayIconTest, TheAddSendsTheWholeRecordInTheShellsLayout) {
  tray.Add_Icon_To_Tray();
  ASSERT_EQ(1u, sys.notifyArea.requests.size());
  const auto& add = sys.notifyArea.requests[0];
  EXPECT_EQ(kNimAdd, add.message);
  EXPECT_TRUE(add.accepted);
  EXPECT_EQ(88u, add.bytes.size());
  EXPECT_EQ(88u, Dword(add, 0));
  EXPECT_EQ(static_cast<uint32_t>(tray.hwnd()), Dword(add, 4));
  EXPECT_NE(0u, Dword(add, 4));
  EXPECT_EQ(static_cast<uint32_t>(sys.windows.IconHandle(IDI_STOP)), Dword(add, 8));
  EXPECT_EQ(7u, Dword(add, 12));
  EXPECT_EQ(0x200u, Dword(add, 16));
  EXPECT_EQ(static_cast<uint32_t>(sys.windows.IconHandle(IDI_STOP)), Dword(add, 20));
  const std::string tip(reinterpret_cast<const char*>(add.bytes.data()) + 24, 64);
  EXPECT_EQ(std::string("vrn Tavrel XP") + '\0' + std::string(50, ' '), tip);
  EXPECT_EQ("vrn Tavrel XP", tray.ToolTip());
  EXPECT_EQ(1u, sys.notifyArea.icons.size());
}

TEST_F(TrayIconTest, TooltipIsCutTo63AndTheSameTextTwiceSendsOneModify) {
  tray.Add_Icon_To_Tray();
  const std::string longTip(70, 'x');
  tray.SetToolTip(longTip);
  tray.SetToolTip(longTip);
  tray.SetToolTip(longTip.substr(0, 63));
  ASSERT_EQ(2u, sys.notifyArea.requests.size());
  EXPECT_EQ(kNimModify, Last().message);
  EXPECT_EQ(4u, Dword(Last(), 12));
  EXPECT_EQ(std::string(63, 'x'), tray.ToolTip());
  EXPECT_EQ(0, Last().bytes[24 + 63]);
  EXPECT_EQ(std::string(63, 'x'), sys.notifyArea.icons.begin()->second.tip);

  // A shorter text is padded with spaces behind its NUL.
  tray.SetToolTip("short");
  EXPECT_EQ(std::string("short") + '\0' + std::string(58, ' '),
            std::string(reinterpret_cast<const char*>(Last().bytes.data()) + 24, 64));
}

TEST_F(TrayIconTest, IconChangesOnlyWhenItIsAnotherOne) {
  tray.Add_Icon_To_Tray();
  tray.SetIconHandle(tray.IconHandle());
  EXPECT_EQ(1u, sys.notifyArea.requests.size());
  tray.SetIconHandle(777);
  ASSERT_EQ(2u, sys.notifyArea.requests.size());
  EXPECT_EQ(kNimModify, Last().message);
  EXPECT_EQ(2u, Dword(Last(), 12));
  EXPECT_EQ(777, tray.IconHandle());
  EXPECT_EQ(777u, sys.notifyArea.icons.begin()->second.hIcon);
}

TEST_F(TrayIconTest, ChangesBeforeTheAddOnlyUpdateTheRecord) {
  tray.SetToolTip("early");
  EXPECT_EQ("early", tray.ToolTip());
  EXPECT_FALSE(Last().accepted);  // the shell does not know the icon yet
  EXPECT_TRUE(sys.notifyArea.icons.empty());
}

TEST_F(TrayIconTest, UnloadingRemovesTheIconAndOneNeverAddedFailsQuietly) {
  tray.Add_Icon_To_Tray();
  tray.Unload();
  EXPECT_EQ(kNimDelete, Last().message);
  EXPECT_TRUE(sys.notifyArea.icons.empty());

  frmSysTray never;
  never.AddMenuItem("x", "x", false);
  never.Unload();
  EXPECT_EQ(kNimDelete, Last().message);
  EXPECT_FALSE(Last().accepted);
  EXPECT_EQ(std::nullopt, sys.files.FileContent(ErrorLogPath()));
}

TEST_F(TrayIconTest, AReleasedTrayObjectTakesItsIconWithIt) {
  auto released = std::make_unique<frmSysTray>();
  released->Add_Icon_To_Tray();
  ASSERT_EQ(1u, sys.notifyArea.icons.size());
  const std::size_t before = sys.notifyArea.requests.size();
  released.reset();
  EXPECT_TRUE(sys.notifyArea.icons.empty());
  EXPECT_EQ(before + 1, sys.notifyArea.requests.size());

  // Unloaded first: the delete is not sent twice.
  auto unloaded = std::make_unique<frmSysTray>();
  unloaded->Add_Icon_To_Tray();
  unloaded->Unload();
  const std::size_t afterUnload = sys.notifyArea.requests.size();
  unloaded.reset();
  EXPECT_EQ(afterUnload, sys.notifyArea.requests.size());
}

TEST_F(TrayIconTest, ANewTaskBarGetsTheIconAgainWhole) {
  const unsigned taskbarCreated = sys.windows.RegisterMessage("TaskbarCreated");
  tray.Form_Message(taskbarCreated, 0, 0);  // no icon yet: nothing to add
  EXPECT_TRUE(sys.notifyArea.requests.empty());

  tray.Add_Icon_To_Tray();
  tray.SetToolTip("after a change");  // the record's flags are now NIF_TIP only
  sys.notifyArea.icons.clear();       // Explorer restarted
  tray.Form_Message(taskbarCreated + 1, 0, 0);
  EXPECT_TRUE(sys.notifyArea.icons.empty());
  tray.Form_Message(taskbarCreated, 0, 0);

  EXPECT_EQ(kNimAdd, Last().message);
  EXPECT_EQ(7u, Dword(Last(), 12));
  ASSERT_EQ(1u, sys.notifyArea.icons.size());
  const auto& icon = sys.notifyArea.icons.begin()->second;
  EXPECT_EQ("after a change", icon.tip);
  EXPECT_EQ(0x200u, icon.callbackMessage);
  EXPECT_EQ(static_cast<uint32_t>(sys.windows.IconHandle(IDI_STOP)), icon.hIcon);

  tray.Unload();
  tray.Form_Message(taskbarCreated, 0, 0);  // gone with its window: not back
  EXPECT_TRUE(sys.notifyArea.icons.empty());
}

// ---------------------------------------------------------------------------
// The shell's notifications

TEST_F(TrayIconTest, EachMouseMessageOnTheIconRaisesItsEvent) {
  Listen(tray);
  tray.Add_Icon_To_Tray();
  // A left double-click, then a right click, a right double-click and a
  // move, as the shell sends them.
  for (int m : {0x201, 0x202, 0x203, 0x202, 0x204, 0x205, 0x206, 0x200}) Shell(tray, m);
  EXPECT_EQ((std::vector<std::string>{"down1", "up1", "double1", "up1", "down2", "up2", "double2", "move"}), events);

  // The middle button and anything else raise nothing.
  events.clear();
  for (int m : {0x207, 0x208, 0x209, 0x20A, 0x1FF, 0}) Shell(tray, m);
  EXPECT_TRUE(events.empty());

  // The position is rounded back to whole pixels.
  tray.Form_MouseMove(0, 0, 0x204 * 15.0f + 7, 0);
  tray.Form_MouseMove(0, 0, 0x205 * 15.0f - 7, 0);
  EXPECT_EQ((std::vector<std::string>{"down2", "up2"}), events);
}

// ---------------------------------------------------------------------------
// The main window's side

class TrayMainWindowTest : public ProgramTest {
 protected:
  TrayMainWindowTest() {
    UserName = "TESTER";
    MainForm = &form;
  }
  ~TrayMainWindowTest() override { MainForm = nullptr; }

  void Load(bool startInTray = false) {
    if (startInTray) sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, "chkStartInSysTray", "1");
    form.Load();
  }
  MemoryFormPeer& Window() { return *sys.windows.Window("FrmMain"); }
  bool InTray() { return !Window().visible && form.m_frmSysTray && sys.notifyArea.icons.size() == 1; }
  bool Shown() { return Window().visible && sys.notifyArea.icons.empty(); }
  void OnIcon(std::initializer_list<int> messages) {
    for (int m : messages) {
      ASSERT_TRUE(form.m_frmSysTray);
      Shell(*form.m_frmSysTray, m);
    }
  }
  int TrayObjectsMade() const {
    int made = 0;
    for (const auto& name : sys.windows.formsCreated) made += name == "frmSysTray";
    return made;
  }

  FrmMain form;
};

TEST_F(TrayMainWindowTest, TheTrayButtonHidesTheWindowAndShowsTheIcon) {
  Load();
  ASSERT_TRUE(Shown());
  form.imgSysTray.UserClick();
  EXPECT_TRUE(InTray());
  const auto& icon = sys.notifyArea.icons.begin()->second;
  EXPECT_EQ(static_cast<uint32_t>(sys.windows.IconHandle(IDI_STOP)), icon.hIcon);
  EXPECT_EQ("vrn Tavrel XP", icon.tip);
}

TEST_F(TrayMainWindowTest, OnlyALeftDoubleClickOnTheIconBringsTheWindowBack) {
  Load();
  form.imgSysTray.UserClick();
  OnIcon({0x201, 0x202});          // a single left click
  OnIcon({0x204, 0x205, 0x206, 0x205});  // a right double-click: menu, closed unchosen
  EXPECT_TRUE(InTray());

  const int toppedBefore = Window().broughtToTop;
  OnIcon({0x201, 0x202, 0x203});
  EXPECT_TRUE(Shown());
  EXPECT_EQ(nullptr, form.m_frmSysTray);
  EXPECT_GT(Window().broughtToTop, toppedBefore);
  EXPECT_EQ(nullptr, sys.windows.Window("frmSysTray"));
}

TEST_F(TrayMainWindowTest, RightButtonOnTheIconOpensTheMenuWithShowInBold) {
  Load();
  form.imgSysTray.UserClick();
  sys.windows.menuChoices = {0};  // "&Show A_Tavrel"
  const long left = form.Left();
  OnIcon({0x204});
  ASSERT_EQ(1u, sys.windows.menus.size());
  const auto& menu = sys.windows.menus[0];
  EXPECT_EQ("frmSysTray", menu.owner);
  EXPECT_EQ((std::vector<std::string>{"&Show A_Tavrel", "-", "Synchronise now", "-", "v.r.n on the &Web",
                                      "&About...", "-", "&Home Position"}),
            Captions(menu));
  EXPECT_EQ(0, menu.defaultIndex);
  EXPECT_TRUE(Shown());
  EXPECT_EQ(left, form.Left());  // where it was
}

TEST_F(TrayMainWindowTest, HomePositionRestoresAndMovesToTheCorner) {
  Load();
  form.imgSysTray.UserClick();
  sys.windows.menuChoices = {7};
  OnIcon({0x204});
  EXPECT_TRUE(Shown());
  EXPECT_EQ(30, form.Top());
  EXPECT_EQ(kSmallClockHeight, form.Height());
}

TEST_F(TrayMainWindowTest, SynchroniseAboutAndWebLeaveTheWindowInTheTray) {
  Load();
  form.imgSysTray.UserClick();
  sys.windows.menuChoices = {2, 4, 5};
  std::string aboutShown;
  sys.windows.onModal = [&](Form& about) { aboutShown = about.Caption(); };
  OnIcon({0x204, 0x204, 0x204});
  EXPECT_TRUE(InTray());

  // The synchronisation run, as from the button: pages fetched, its result
  // said (here: every source fails).
  EXPECT_FALSE(sys.http.requests.empty());
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ("The attempt to synchronize your system time failed", sys.windows.boxes[0].text);
  // The maker's page, owned by the main window.
  ASSERT_EQ(1u, sys.shell.executed.size());
  EXPECT_EQ("http://www.vrn.example/vrn", sys.shell.executed[0].file);
  EXPECT_EQ("open", sys.shell.executed[0].verb);
  EXPECT_EQ(5, sys.shell.executed[0].show);
  EXPECT_EQ(form.hwnd(), sys.shell.executed[0].owner);
  EXPECT_EQ("", sys.shell.executed[0].parameters);
  // The About window, shown modally while the main window stays hidden.
  EXPECT_EQ("About vrn Tavrel XP", aboutShown);
  EXPECT_TRUE(InTray());
}

TEST_F(TrayMainWindowTest, AnUnknownKeySaysWhichWasClicked) {
  Load();
  form.m_frmSysTray_MenuClick(3, "Open");  // keys are compared exactly
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ("Clicked item with key Open", sys.windows.boxes[0].text);
  EXPECT_EQ("A_Tavrel", sys.windows.boxes[0].title);
  EXPECT_EQ(64, sys.windows.boxes[0].style);
  EXPECT_TRUE(Shown());
}

TEST_F(TrayMainWindowTest, RightClickOnThePictureOpensAFreshMenuWithoutAnIcon) {
  Load();
  form.Image1.UserMouseDown(vbRightButton, 0, 100, 100);
  form.Image1.UserMouseDown(vbRightButton, 0, 100, 100);
  EXPECT_EQ(2u, sys.windows.menus.size());
  EXPECT_EQ(8u, sys.windows.menus[1].items.size());
  EXPECT_EQ(2, TrayObjectsMade());
  EXPECT_TRUE(sys.notifyArea.requests.empty());
  EXPECT_TRUE(Shown());
}

TEST_F(TrayMainWindowTest, StartInTrayStartsHiddenWithTheIcon) {
  Load(true);
  EXPECT_TRUE(InTray());
  OnIcon({0x203});
  EXPECT_TRUE(Shown());
}

// At log-on the task bar may come after the program.
class LateTaskbarTest : public TrayMainWindowTest {
 protected:
  Timer* Retry() {
    for (Timer* timer : sys.windows.timers)
      if (timer->Name() == "tmrRetry") return timer;
    return nullptr;
  }
  void Tick(int times) {
    for (int i = 0; i < times; ++i) {
      ASSERT_NE(nullptr, Retry());
      Retry()->Fire();
    }
  }
  int Adds() const {
    int adds = 0;
    for (const auto& r : sys.notifyArea.requests) adds += r.message == kNimAdd;
    return adds;
  }
};

TEST_F(LateTaskbarTest, ARefusedAddIsRetriedAndANewTaskbarGetsTheIcon) {
  sys.notifyArea.taskbar = false;
  Load(true);
  EXPECT_TRUE(sys.notifyArea.icons.empty());
  ASSERT_NE(nullptr, Retry());
  EXPECT_TRUE(Retry()->Enabled());
  EXPECT_EQ(frmSysTray::kRetryIntervalMs, Retry()->Interval());
  Tick(2);
  EXPECT_EQ(3, Adds());
  EXPECT_FALSE(Window().visible);

  sys.notifyArea.taskbar = true;
  form.m_frmSysTray->Form_Message(sys.windows.RegisterMessage("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(InTray());
  EXPECT_TRUE(form.m_frmSysTray->IconShown());
  EXPECT_FALSE(Retry()->Enabled());
  EXPECT_EQ(sys.windows.IconHandle(IDI_STOP), sys.notifyArea.icons.begin()->second.hIcon);
}

TEST_F(LateTaskbarTest, ATaskbarThatComesBetweenTwoRetriesGetsTheIconAtTheNext) {
  sys.notifyArea.taskbar = false;
  Load(true);
  Tick(1);
  sys.notifyArea.taskbar = true;
  Tick(1);
  EXPECT_TRUE(InTray());
  EXPECT_FALSE(Retry()->Enabled());
}

TEST_F(LateTaskbarTest, WithoutATaskbarAfterEveryRetryTheWindowShowsItself) {
  sys.notifyArea.taskbar = false;
  Load(true);
  Tick(frmSysTray::kAddRetries - 1);
  EXPECT_FALSE(Window().visible);
  Tick(1);
  EXPECT_TRUE(Window().visible);
  EXPECT_FALSE(Retry()->Enabled());
  EXPECT_EQ(1 + frmSysTray::kAddRetries, Adds());
  // The window can still go to the tray once there is one.
  sys.notifyArea.taskbar = true;
  form.imgSysTray.UserClick();
  EXPECT_TRUE(InTray());
}

TEST_F(LateTaskbarTest, AnAddWhoseAnswerWasLostCountsOnceTheShellKnowsTheIcon) {
  // The shell took the icon but the answer did not come back in time.
  sys.notifyArea.taskbar = false;
  Load(true);
  sys.notifyArea.taskbar = true;
  const TrayIconData& record = form.m_frmSysTray->TrayIconRecord();
  ASSERT_TRUE(sys.notifyArea.Notify(kNimAdd, record));
  Tick(1);
  EXPECT_TRUE(form.m_frmSysTray->IconShown());
  EXPECT_EQ(1u, sys.notifyArea.icons.size());
  EXPECT_FALSE(Retry()->Enabled());
}

TEST_F(TrayMainWindowTest, ANewMenuWhileTheIconShowsNeverLeavesTwoIcons) {
  Load(true);
  form.Make_Popup_Menu();
  EXPECT_TRUE(sys.notifyArea.icons.empty());
  form.Send_to_SysTray();
  form.Send_to_SysTray();
  EXPECT_EQ(1u, sys.notifyArea.icons.size());
}

TEST_F(TrayMainWindowTest, ClosingFromTheTrayRemovesTheIcon) {
  Load();
  form.imgSysTray.UserClick();
  EXPECT_THROW(form.cmdExit_Click(), ProcessEnded);
  EXPECT_TRUE(sys.notifyArea.icons.empty());
  EXPECT_EQ(kNimDelete, sys.notifyArea.requests.back().message);
}

}  // namespace
}  // namespace tavrel
