// The notification-area form on real windows: what Shell_NotifyIconA gets,
// byte by byte, and the shell's callback travelling through the window's
// message handling back into events. The shell call itself is replaced, so
// the requests are caught exactly as the shell would read them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/PictureIds.h"
#include "platform/win32/Win32NotifyArea.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WindowClasses.h"
#include "tray/frmSysTray.h"

namespace tavrel {
namespace {

struct Caught {
  DWORD message;
  std::vector<unsigned char> bytes;  // what the shell would read
};
std::vector<Caught> g_caught;

BOOL WINAPI CatchNotify(DWORD message, PNOTIFYICONDATAA data) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  g_caught.push_back({message, std::vector<unsigned char>(bytes, bytes + sizeof(NOTIFYICONDATAA))});
  return TRUE;
}

// The program's record as the 32-bit shell reads it.
std::vector<unsigned char> Expected32(uint32_t hwnd, uint32_t id, uint32_t flags, uint32_t icon,
                                      const std::string& tip) {
  std::vector<unsigned char> bytes(88, 0);
  const uint32_t fields[] = {88, hwnd, id, flags, 0x200, icon};
  std::memcpy(bytes.data(), fields, sizeof fields);
  std::memset(bytes.data() + 24, ' ', 64);
  std::memcpy(bytes.data() + 24, tip.data(), tip.size());
  bytes[24 + tip.size()] = 0;
  return bytes;
}

class TrayWin32Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  void SetUp() override {
    g_caught.clear();
    saved_ = Win32NotifyArea::shellCall;
    Win32NotifyArea::shellCall = CatchNotify;
    tray.SysTrayMouseDown = [this](int b) { events.push_back("down" + std::to_string(b)); };
    tray.SysTrayMouseUp = [this](int b) { events.push_back("up" + std::to_string(b)); };
    tray.SysTrayMouseMove = [this] { events.push_back("move"); };
    tray.SysTrayDoubleClick = [this](int b) { events.push_back("double" + std::to_string(b)); };
  }
  void TearDown() override {
    tray.Unload();
    Win32NotifyArea::shellCall = saved_;
  }
  HWND Window() const { return reinterpret_cast<HWND>(tray.hwnd()); }
  uint32_t Icon() const { return static_cast<uint32_t>(Sys().windows->IconHandle(IDI_STOP)); }

  // Checks one caught request against the record the program means.
  void ExpectSent(const Caught& caught, DWORD message, uint32_t flags, const std::string& tip) {
    EXPECT_EQ(message, caught.message);
    const auto expected = Expected32(static_cast<uint32_t>(tray.hwnd()), Icon(), flags, Icon(), tip);
#if defined(_WIN64)
    // The 64-bit shell's record: the same fields at their own places.
    NOTIFYICONDATAA data;
    std::memcpy(&data, caught.bytes.data(), sizeof data);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), data.cbSize);
    EXPECT_EQ(Window(), data.hWnd);
    EXPECT_EQ(Icon(), data.uID);
    EXPECT_EQ(flags, data.uFlags);
    EXPECT_EQ(0x200u, data.uCallbackMessage);
    EXPECT_EQ(Sys().windows->IconHandle(IDI_STOP), reinterpret_cast<WindowHandle>(data.hIcon));
    EXPECT_EQ(0, std::memcmp(expected.data() + 24, data.szTip, 64));
#else
    ASSERT_GE(caught.bytes.size(), 88u);
    for (std::size_t i = 0; i < 88; ++i) EXPECT_EQ(expected[i], caught.bytes[i]) << "byte " << i;
#endif
  }

  frmSysTray tray;
  std::vector<std::string> events;

 private:
  Win32NotifyArea::ShellNotifyIcon saved_ = nullptr;
};

TEST_F(TrayWin32Test, TheTrayWindowIsAHiddenFormTitledSysTrayInterface) {
  tray.AddMenuItem("&Show", "open", false);
  ASSERT_NE(nullptr, Window());
  EXPECT_EQ(Window(), FindWindowA(kFormWindowClass, "Sys Tray Interface"));
  EXPECT_FALSE(IsWindowVisible(Window()));
}

TEST_F(TrayWin32Test, TheShellGetsTheRecordAsTheProgramKeepsIt) {
  tray.Add_Icon_To_Tray();
  ASSERT_EQ(1u, g_caught.size());
  ExpectSent(g_caught[0], NIM_ADD, 7, "vrn Tavrel XP");

  tray.SetToolTip(std::string(80, 'T'));
  ASSERT_EQ(2u, g_caught.size());
  ExpectSent(g_caught[1], NIM_MODIFY, NIF_TIP, std::string(63, 'T'));

  tray.Unload();
  ASSERT_EQ(3u, g_caught.size());
  EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), g_caught[2].message);
}

TEST_F(TrayWin32Test, TheCallbackComesBackAsEventsAtTheDisplaysResolution) {
  tray.Add_Icon_To_Tray();
  // What the shell sends for a left double-click, a right click and the
  // middle button: the icon's ID and the mouse message.
  for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP,
                 WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MOUSEMOVE})
    SendMessageA(Window(), WM_MOUSEMOVE, Icon(), m);
  EXPECT_EQ((std::vector<std::string>{"down1", "up1", "double1", "up1", "down2", "up2", "move"}), events);
}

TEST_F(TrayWin32Test, ANewTaskBarGetsTheWholeRecordAgain) {
  tray.Add_Icon_To_Tray();
  tray.SetToolTip("changed");
  SendMessageA(Window(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  ASSERT_EQ(3u, g_caught.size());
  ExpectSent(g_caught[2], NIM_ADD, 7, "changed");
}

}  // namespace
}  // namespace tavrel
