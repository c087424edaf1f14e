// The fallbacks for Windows versions that lack a newer call, forced on
// this system with compat::PretendMissing, against the same visible result
// as the newer call: names resolved and an SNTP exchange on loopback
// without Winsock 2, the root window found without GetAncestor (and with
// it, for comparison). Also the program's own subclassing, which every
// system gets, and the ANSI stand-ins for the runtime's wide-character
// kernel32 calls.
#include "platform/Forms.h"
#include "platform/Platform.h"

#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>

#include "LoopbackSocket.h"
#include "Win32TestSupport.h"
#include "platform/win32/Win32Compat.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Subclass.h"
#include "timesync/Sntp.h"

namespace tavrel {
namespace {

using compat::Feature;

// ---------------------------------------------------------------------------
// Names and datagrams with Winsock 1.1 only.

// An SNTP server on 127.0.0.1 on a thread of its own, `ahead` seconds ahead
// of this computer's clock.
class LoopbackNtpServer {
 public:
  explicit LoopbackNtpServer(double ahead) : ahead_(ahead) {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    socket_ = BindLoopback(SOCK_DGRAM, IPPROTO_UDP, port_);
    thread_ = CreateThread(nullptr, 0, &LoopbackNtpServer::Run, this, 0, nullptr);
  }
  ~LoopbackNtpServer() {
    stop_ = true;
    if (thread_) {
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
    }
    closesocket(socket_);
    WSACleanup();
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  int answered() const { return answered_; }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<LoopbackNtpServer*>(self)->Serve();
    return 0;
  }
  static void Put64(char* at, uint64_t value) {
    for (int i = 7; i >= 0; --i, value >>= 8) at[i] = static_cast<char>(value & 0xFF);
  }
  void Serve() {
    while (!stop_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket_, &readable);
      timeval wait{0, 50 * 1000};
      if (select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
      char packet[48];
      sockaddr_in from{};
      int size = sizeof from;
      if (recvfrom(socket_, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &size) != 48) continue;
      const NtpTimestamp now = ToNtpTimestamp(Sys().clock->NowUtc().AddSeconds(ahead_));
      char reply[48] = {};
      reply[0] = 0 << 6 | 4 << 3 | 4;  // no leap warning, version 4, server
      reply[1] = 2;                    // stratum
      std::memcpy(reply + 24, packet + 40, 8);  // origin: the request's transmit time
      Put64(reply + 32, now);
      Put64(reply + 40, now);
      sendto(socket_, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), size);
      ++answered_;
    }
  }

  double ahead_;
  SOCKET socket_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<int> answered_{0};
};

class WinsockOneTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  Pretend noWinsock2{Feature::Winsock2};
  IUdp& udp = *Sys().udp;
};

TEST_F(WinsockOneTest, LoopbackNameAndLiteralResolveToIpv4) {
  ASSERT_EQ(nullptr, compat::Winsock2());
  EXPECT_EQ(std::vector<NetAddress>{NetAddress::V4(127, 0, 0, 1)}, udp.Resolve("127.0.0.1"));
  EXPECT_EQ(std::vector<NetAddress>{NetAddress::V4(255, 255, 255, 255)}, udp.Resolve("255.255.255.255"));
  const auto local = udp.Resolve("localhost");
  ASSERT_FALSE(local.empty());
  for (const NetAddress& a : local) EXPECT_EQ(NetAddress::IPv4, a.family) << a.Text();
  EXPECT_NE(local.end(), std::find(local.begin(), local.end(), NetAddress::V4(127, 0, 0, 1)));
  // IPv6 literals need getaddrinfo; an embedded NUL is refused before any call.
  EXPECT_EQ(errHostNotFound, ErrorOf([&] { udp.Resolve("::1"); }));
  EXPECT_EQ(errHostNotFound, ErrorOf([&] { udp.Resolve(std::string("127.0.0.1\0evil", 14)); }));
}

TEST_F(WinsockOneTest, AnSntpRunOnLoopbackMeasuresTheServersOffset) {
  LoopbackNtpServer server(10.0);
  std::vector<RuntimeError> failures;
  const SntpResult result = QueryNtpServer(server.Address(), &failures, 2000);
  for (const RuntimeError& e : failures) ADD_FAILURE() << e.Description();
  EXPECT_EQ("127.0.0.1", result.address.Text());
  EXPECT_NEAR(10.0, result.offset, 0.5);
  EXPECT_GE(result.delay, 0.0);
  EXPECT_EQ(SntpClient::kRequests, server.answered());
}

// ---------------------------------------------------------------------------
// Subclassing, the program's own on every system.

struct Seen {
  int ncDestroys = 0;
  DWORD_PTR data = 0;
  bool removeOnNextMessage = false;
};

// A message of our own, answered by the subclass only: the system maps a
// standard one such as WM_GETTEXTLENGTH between ANSI and Unicode procedures
// and may answer it itself.
const UINT kAsk = WM_USER + 42;

LRESULT CALLBACK Watch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* seen = reinterpret_cast<Seen*>(data);
  seen->data = data;
  if (message == WM_NCDESTROY) ++seen->ncDestroys;
  if (message == kAsk) return 99;  // answered here; the control would say 0
  if (seen->removeOnNextMessage) {
    seen->removeOnNextMessage = false;
    RemoveSubclass(hwnd, Watch, 7);
  }
  return DefSubclass(hwnd, message, wParam, lParam);
}

TEST(Subclass, TheSubclassSeesMessagesFirstHandsTheRestOnAndEndsWithItsWindow) {
  HWND control = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  Seen seen;
  ASSERT_TRUE(SetSubclass(control, Watch, 7, reinterpret_cast<DWORD_PTR>(&seen)));
  EXPECT_FALSE(SetSubclass(control, Watch, 8, 0));  // one per window
  EXPECT_EQ(99, SendMessageA(control, kAsk, 0, 0));
  EXPECT_EQ(reinterpret_cast<DWORD_PTR>(&seen), seen.data);
  SetWindowTextA(control, "handed on");
  char text[32] = {};
  GetWindowTextA(control, text, sizeof text);
  EXPECT_STREQ("handed on", text);

  seen.removeOnNextMessage = true;  // removed while it handles a message
  SendMessageA(control, WM_NULL, 0, 0);
  EXPECT_EQ(0, SendMessageA(control, kAsk, 0, 0));
  EXPECT_FALSE(RemoveSubclass(control, Watch, 7));

  ASSERT_TRUE(SetSubclass(control, Watch, 7, reinterpret_cast<DWORD_PTR>(&seen)));
  DestroyWindow(control);
  EXPECT_EQ(1, seen.ncDestroys);
  EXPECT_FALSE(SetSubclass(control, Watch, 7, 0));  // no window any more
}

// A form's picture and frame, subclassed by the window system itself.
class SubclassedForm : public Form {
 public:
  SubclassedForm()
      : Form("SubclassedForm"),
        picture(*this, 601, ControlKind::PictureBox, "picture", {120, 120, 600, 600}),
        frame(*this, 602, ControlKind::Frame, "frame", {900, 120, 1200, 1200}) {
    SetWidth(3000);
    SetHeight(2000);
    frame.SetBackColor(0x00123456);
  }
  Control picture, frame;
};

TEST(Subclass, APictureSendsItsMouseEventsAndAFrameFillsItself) {
  InstallWin32Platform();
  HWND picture = nullptr;
  {
    SubclassedForm form;
    form.Load();
    form.Show();
    HWND hwnd = reinterpret_cast<HWND>(form.hwnd());
    picture = GetDlgItem(hwnd, 601);
    int downs = 0, ups = 0, button = 0;
    form.picture.MouseDown = [&](int b, int, float, float) {
      ++downs;
      button = b;
    };
    form.picture.MouseUp = [&](int, int, float, float) { ++ups; };
    SendMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(picture, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(1, downs);
    EXPECT_EQ(1, ups);
    EXPECT_EQ(1, button);

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    EXPECT_TRUE(SendMessageA(GetDlgItem(hwnd, 602), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
    EXPECT_EQ(static_cast<COLORREF>(0x00123456), GetPixel(dc, 1, 1));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  EXPECT_FALSE(IsWindow(picture));
}

// ---------------------------------------------------------------------------
// The root window without GetAncestor.

class RootWindowTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    top = CreateWindowExA(0, "STATIC", "top", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    child = CreateWindowExA(0, "STATIC", "child", WS_CHILD, 0, 0, 50, 50, top, nullptr, nullptr, nullptr);
    grandchild = CreateWindowExA(0, "STATIC", "grandchild", WS_CHILD, 0, 0, 20, 20, child, nullptr, nullptr, nullptr);
    owned = CreateWindowExA(0, "STATIC", "owned", WS_POPUP, 0, 0, 20, 20, top, nullptr, nullptr, nullptr);
    ASSERT_TRUE(top && child && grandchild && owned);
  }
  void TearDown() override {
    DestroyWindow(owned);
    DestroyWindow(top);
  }
  Pretend pretend{Feature::GetAncestor, GetParam()};
  HWND top = nullptr, child = nullptr, grandchild = nullptr, owned = nullptr;
};

TEST_P(RootWindowTest, ChildrenLeadToTheirTopLevelWindowOwnersDoNot) {
  EXPECT_EQ(top, compat::RootWindow(grandchild));
  EXPECT_EQ(top, compat::RootWindow(child));
  EXPECT_EQ(top, compat::RootWindow(top));
  EXPECT_EQ(owned, compat::RootWindow(owned));  // GA_ROOT does not follow the owner
  EXPECT_EQ(nullptr, compat::RootWindow(nullptr));
}

INSTANTIATE_TEST_SUITE_P(BothWays, RootWindowTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Fallback") : std::string("GetAncestor");
                         });

// ---------------------------------------------------------------------------
// The runtime's wide-character calls, carried out with the ANSI ones.

TEST(AnsiRuntime, WideNamesReachTheAnsiCalls) {
  HANDLE wide = CreateSemaphoreW(nullptr, 1, 1, L"A_Tavrel.RuntimeTest");
  ASSERT_NE(nullptr, wide);
  HANDLE ansi = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "A_Tavrel.RuntimeTest");
  EXPECT_NE(nullptr, ansi);  // the same object, found by its ANSI name
  if (ansi) CloseHandle(ansi);
  CloseHandle(wide);

  EXPECT_EQ(GetModuleHandleA("kernel32.dll"), GetModuleHandleW(L"kernel32.dll"));
  EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleW(nullptr));
  EXPECT_EQ(GetModuleHandleA("user32.dll"), LoadLibraryW(L"user32.dll"));
  EXPECT_EQ(nullptr, LoadLibraryW(nullptr));
  EXPECT_EQ(nullptr, LoadLibraryW(L"no-such-module.dll"));
}

DWORD WINAPI ThrowMany(void* count) {
  for (int i = 0; i < 2000; ++i) {
    try {
      throw std::runtime_error("thrown on a second thread");
    } catch (const std::runtime_error&) {
      ++*static_cast<std::atomic<int>*>(count);
    }
  }
  return 0;
}

TEST(AnsiRuntime, ExceptionsOnTwoThreadsAtOnceAreCaughtWhereThrown) {
  // The unwinder's and the exception runtime's locks are libgcc's, made
  // with the stand-in for CreateSemaphoreW.
  std::atomic<int> caught{0};
  HANDLE threads[2] = {CreateThread(nullptr, 0, ThrowMany, &caught, 0, nullptr),
                       CreateThread(nullptr, 0, ThrowMany, &caught, 0, nullptr)};
  ASSERT_TRUE(threads[0] && threads[1]);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 30000));
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  EXPECT_EQ(4000, caught.load());
}

}  // namespace
}  // namespace tavrel
