// The serving sockets of the UDP service under Wine: a datagram sent to the
// port is announced between window events with the tick it came at (not
// when the window got to it), taken without waiting and answered; a port
// held by another socket is in use. The NTP server on them is
// tests/e2e/test_ntpserver.py's.
// The platform headers go before <winsock2.h>, which brings <windows.h>.
#include "platform/Forms.h"
#include "platform/Platform.h"

#include <winsock2.h>

#include <functional>
#include <optional>

#include "LoopbackSocket.h"
#include "Win32TestSupport.h"

namespace tavrel {
namespace {

// A port nobody holds right now: the system's choice for a socket that
// goes again at once.
uint16_t FreePort() {
  uint16_t port = 0;
  SOCKET s = BindLoopback(SOCK_DGRAM, IPPROTO_UDP, port);
  closesocket(s);
  return port;
}

// Lets window events run until `done` or two seconds passed.
bool PumpUntil(const std::function<bool()>& done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 2000) return false;
    Sys().windows->WaitForEvents(20);
  }
  return true;
}

// A client's socket on 127.0.0.1 that sends and waits for one answer.
class Client {
 public:
  Client() { socket_ = BindLoopback(SOCK_DGRAM, IPPROTO_UDP, port_); }
  ~Client() { closesocket(socket_); }
  uint16_t Port() const { return port_; }
  void Send(uint16_t to, const std::string& bytes) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(to);
    sendto(socket_, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&address),
           sizeof address);
  }
  // The answer, pumping window events meanwhile (the server answers there).
  std::optional<std::string> Answer() {
    std::optional<std::string> got;
    PumpUntil([&] {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket_, &readable);
      timeval none{0, 0};
      if (select(0, &readable, nullptr, nullptr, &none) != 1) return false;
      char buffer[512];
      const int n = recv(socket_, buffer, sizeof buffer, 0);
      if (n >= 0) got = std::string(buffer, n);
      return true;
    });
    return got;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  uint16_t port_ = 0;
};

class ServingSocketTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  void SetUp() override {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
  }
  void TearDown() override { WSACleanup(); }
  IUdp& udp = *Sys().udp;
};

TEST_F(ServingSocketTest, ADatagramIsAnnouncedBetweenWindowEventsAndAnswered) {
  const uint16_t port = FreePort();
  std::unique_ptr<IUdpSocket> server;
  std::optional<Datagram> got;
  uint32_t announcedTick = 0;
  server = udp.Listen(NetAddress::IPv4, port, [&](uint32_t readyTick) {
    announcedTick = readyTick;
    got = server->Receive(0);
  });
  Client client;
  const DWORD sentTick = GetTickCount();
  client.Send(port, "hello");
  // The window is busy elsewhere for a while.
  Sleep(500);
  ASSERT_TRUE(PumpUntil([&] { return got.has_value(); }));
  EXPECT_EQ("hello", got->bytes);
  EXPECT_EQ("127.0.0.1", got->from.Text());
  EXPECT_EQ(client.Port(), got->fromPort);
  // The tick of the announcement is the datagram's, not the pump's.
  std::printf("announced %lu ms after the send, taken %lu ms after\n",
              static_cast<unsigned long>(announcedTick - sentTick), static_cast<unsigned long>(GetTickCount() - sentTick));
  EXPECT_LT(static_cast<uint32_t>(announcedTick - sentTick), 250u);
  server->SendTo(got->from, got->fromPort, "back");
  EXPECT_EQ("back", client.Answer().value_or("<none>"));
  // Nothing more waiting: a look finds nothing and does not wait.
  EXPECT_FALSE(server->Receive(0));
}

TEST_F(ServingSocketTest, APortAnotherSocketHoldsIsInUse) {
  const uint16_t port = FreePort();
  auto first = udp.Listen(NetAddress::IPv4, port, [](uint32_t) {});
  EXPECT_EQ(errPortInUse, ErrorOf([&] { udp.Listen(NetAddress::IPv4, port, [](uint32_t) {}); }));
  first.reset();
  EXPECT_EQ(0, ErrorOf([&] { udp.Listen(NetAddress::IPv4, port, [](uint32_t) {}); }));
}

}  // namespace
}  // namespace tavrel
