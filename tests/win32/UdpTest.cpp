// The UDP service against a peer socket on loopback inside the test:
// resolving, a datagram each way with its sender, the time-out, and no
// handle left behind by sockets that come and go. Only loopback names and
// literals are resolved: a test asks no name server anything. A resolver
// that hangs stands in for a name server that never answers.
// The platform headers go before <winsock2.h>, which brings <windows.h>.
#include "platform/Forms.h"
#include "platform/Platform.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <optional>

#include "Win32TestSupport.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Wait.h"

namespace tavrel {
namespace {

// A plain Winsock socket on a loopback address that answers what it gets.
class Peer {
 public:
  explicit Peer(int family = AF_INET) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(family, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_storage address{};
    int size = 0;
    if (family == AF_INET6) {
      auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
      in6.sin6_family = AF_INET6;
      in6.sin6_addr.s6_addr[15] = 1;
      size = sizeof in6;
    } else {
      auto& in4 = reinterpret_cast<sockaddr_in&>(address);
      in4.sin_family = AF_INET;
      in4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      size = sizeof in4;
    }
    bind(socket_, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port);  // same place in both
  }
  ~Peer() {
    closesocket(socket_);
    WSACleanup();
  }
  uint16_t Port() const { return port_; }

  // Waits for one datagram and sends `answer` back to its sender; returns
  // what came and the sender's port.
  std::string Echo(const std::string& answer, uint16_t& senderPort) {
    char buffer[512];
    sockaddr_storage from{};
    int size = sizeof from;
    const int got = recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
    if (got < 0) return "";
    senderPort = ntohs(reinterpret_cast<sockaddr_in&>(from).sin_port);
    sendto(socket_, answer.data(), static_cast<int>(answer.size()), 0, reinterpret_cast<sockaddr*>(&from), size);
    return std::string(buffer, got);
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  uint16_t port_ = 0;
};

class UdpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  IUdp& udp = *Sys().udp;
};

TEST_F(UdpTest, ResolvesLoopbackNamesAndLiterals) {
  const NetAddress loopback = NetAddress::V4(127, 0, 0, 1);
  EXPECT_EQ(std::vector<NetAddress>{loopback}, udp.Resolve("127.0.0.1"));
  const auto v6 = udp.Resolve("::1");
  ASSERT_EQ(1u, v6.size());
  EXPECT_EQ("::1", v6[0].Text());
  const auto local = udp.Resolve("localhost");
  const bool hasLoopback = std::any_of(local.begin(), local.end(), [](const NetAddress& a) {
    return a.Text() == "127.0.0.1" || a.Text() == "::1";
  });
  EXPECT_TRUE(hasLoopback) << local.size() << " addresses, first " << local.at(0).Text();
}

TEST_F(UdpTest, ADatagramGoesOutAndTheAnswerNamesItsSender) {
  Peer peer;
  auto socket = udp.Open(NetAddress::IPv4);
  socket->SendTo(NetAddress::V4(127, 0, 0, 1), peer.Port(), std::string("ask\0me", 6));
  uint16_t ourPort = 0;
  EXPECT_EQ(std::string("ask\0me", 6), peer.Echo(std::string(300, 'a'), ourPort));

  const auto answer = socket->Receive(2000);
  ASSERT_TRUE(answer);
  EXPECT_EQ(std::string(300, 'a'), answer->bytes);
  EXPECT_EQ("127.0.0.1", answer->from.Text());
  EXPECT_EQ(peer.Port(), answer->fromPort);
  EXPECT_NE(0, ourPort);
}

TEST_F(UdpTest, Ipv6LoopbackWorksWhereTheSystemHasIpv6) {
  std::unique_ptr<IUdpSocket> socket;
  if (ErrorOf([&] { socket = udp.Open(NetAddress::IPv6); }) != 0) GTEST_SKIP() << "no IPv6 sockets here";
  Peer peer(AF_INET6);
  socket->SendTo(*ParseIpLiteral("::1"), peer.Port(), "six");
  uint16_t ourPort = 0;
  EXPECT_EQ("six", peer.Echo("back", ourPort));
  const auto answer = socket->Receive(2000);
  ASSERT_TRUE(answer);
  EXPECT_EQ("::1", answer->from.Text());
  EXPECT_EQ(peer.Port(), answer->fromPort);
  // An IPv4 address on an IPv6 socket is the caller's mistake.
  EXPECT_EQ(errSocketFailure, ErrorOf([&] { socket->SendTo(NetAddress::V4(127, 0, 0, 1), 9, "x"); }));
}

TEST_F(UdpTest, NothingArrivingIsNothingAfterTheTimeOut) {
  auto socket = udp.Open(NetAddress::IPv4);
  const DWORD start = GetTickCount();
  EXPECT_FALSE(socket->Receive(300));
  const DWORD waited = GetTickCount() - start;
  std::printf("a 300 ms time-out took %lu ms\n", static_cast<unsigned long>(waited));
  // GetTickCount moves in steps of up to 16 ms; the upper bound only
  // catches a wait that ignores its time-out.
  EXPECT_GE(waited, 280u);
  EXPECT_LT(waited, 2000u);

  // A send to a port nobody listens on is no error, and no datagram.
  Peer gone;
  const uint16_t port = gone.Port();
  socket->SendTo(NetAddress::V4(127, 0, 0, 1), port, "anyone?");
  EXPECT_FALSE(socket->Receive(100));
}

TEST_F(UdpTest, SocketsThatComeAndGoLeaveNoHandles) {
  udp.Open(NetAddress::IPv4);  // Winsock's own start-up handles come first
  const char* counted = "";
  const auto before = OpenHandles(counted);
  for (int i = 0; i < 200; ++i) {
    auto socket = udp.Open(NetAddress::IPv4);
    socket->SendTo(NetAddress::V4(127, 0, 0, 1), 9, "x");
    socket->Receive(0);
  }
  const auto after = OpenHandles(counted);
  if (!before || !after) GTEST_SKIP() << "neither GetProcessHandleCount nor /proc here: handles not counted";
  std::printf("%s before %lu, after 200 sockets %lu\n", counted, *before, *after);
  EXPECT_LE(*after, *before + 5);
}

TEST_F(UdpTest, TheUtcClockIsTheLocalClockPlusTheZoneBias) {
  TimeZoneInformation zone;
  const uint32_t kind = Sys().timeZone->Read(zone);
  const int32_t bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
  const DateTime local = Sys().clock->Now();
  const DateTime utc = Sys().clock->NowUtc();
  EXPECT_NEAR(0.0, (utc.Serial() - local.AddSeconds(bias * 60.0).Serial()) * 86400, 0.1);
  // Finer than the millisecond of the local reading: not every reading
  // of a busy loop falls on a whole millisecond.
  bool finer = false;
  for (int i = 0; i < 1000 && !finer; ++i) {
    const double ms = Sys().clock->NowUtc().Serial() * 86400000.0;
    finer = std::fabs(ms - std::round(ms)) > 0.01;
  }
  EXPECT_TRUE(finer);
}

// In place of the system's resolver: hangs until released (or 30 s, so a
// look-up without a deadline fails the test instead of hanging the run),
// then answers an address nobody must see.
HANDLE g_release = nullptr;
std::atomic<int> g_hangingCalls{0};

int HangingResolver(const std::string&, std::vector<NetAddress>& addresses) {
  ++g_hangingCalls;
  WaitForSingleObject(g_release, 30000);
  addresses.push_back(NetAddress::V4(192, 0, 2, 66));
  return 0;
}

int QuickResolver(const std::string&, std::vector<NetAddress>& addresses) {
  addresses.push_back(NetAddress::V4(192, 0, 2, 1));
  return 0;
}

class HangingResolverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_hangingCalls = 0;
    Win32Udp::ReplaceResolver(HangingResolver);
    udp.resolveTimeoutMs = 500;
  }
  void TearDown() override {
    SetEvent(g_release);
    for (int i = 0; i < 200 && StrayWorkers() > 0; ++i) Sleep(50);
    Win32Udp::ReplaceResolver(nullptr);
    CloseHandle(g_release);
  }
  Win32Udp udp;
};

TEST_F(HangingResolverTest, ALookUpEndsAtItsDeadlineWhileTheWindowPaints) {
  PaintProbe probe;
  probe.PostClick();
  const DWORD start = GetTickCount();
  EXPECT_EQ(errSocketFailure, ErrorOf([&] { udp.Resolve("hangs.example"); }));
  const DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 5500u);
  std::printf("a hanging look-up: %lu ms, %d paints\n", static_cast<unsigned long>(took), probe.Paints());
  EXPECT_GE(probe.Paints(), 3);
  EXPECT_TRUE(probe.ClickStillQueued());
  EXPECT_EQ(1, StrayWorkers());
  // Literals need no look-up and keep working.
  EXPECT_EQ(std::vector<NetAddress>{NetAddress::V4(127, 0, 0, 1)}, udp.Resolve("127.0.0.1"));
}

// A name server that never answers costs a few threads, not one per
// look-up; once it answers they end unheard, and look-ups work again.
TEST_F(HangingResolverTest, StrayLookUpsAreFewAndEndOnTheirOwn) {
  for (int i = 0; i < kMaxStrayWorkers; ++i)
    EXPECT_EQ(errSocketFailure, ErrorOf([&] { udp.Resolve("hangs.example"); }));
  EXPECT_EQ(kMaxStrayWorkers, StrayWorkers());
  EXPECT_EQ(errSocketFailure, ErrorOf([&] { udp.Resolve("hangs.example"); }));
  EXPECT_EQ(kMaxStrayWorkers, g_hangingCalls);

  SetEvent(g_release);
  for (int i = 0; i < 200 && StrayWorkers() > 0; ++i) Sleep(50);
  EXPECT_EQ(0, StrayWorkers());
  Win32Udp::ReplaceResolver(QuickResolver);
  EXPECT_EQ(std::vector<NetAddress>{NetAddress::V4(192, 0, 2, 1)}, udp.Resolve("quick.example"));
}

}  // namespace
}  // namespace tavrel
