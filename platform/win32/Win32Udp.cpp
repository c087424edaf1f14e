// Datagrams through Windows Sockets. Winsock 1.1 (wsock32.dll, on every
// system from Windows 95 and NT 4.0 on) carries the sockets; where the
// system has Winsock 2 with getaddrinfo (XP and later), names and literals
// of both families resolve through it, elsewhere IPv4 names through
// gethostbyname; a name is looked up on a worker thread with a deadline.
// One socket per exchange, select() for the time-out. Winsock starts once
// and stays up for the process.
#include "platform/Forms.h"
#include "platform/Platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/win32/Win32Convert.h"
#include "platform/win32/Win32Compat.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Wait.h"

namespace tavrel {
namespace {

const int kMaxDatagram = 4096;

[[noreturn]] void RaiseSocketError(int error) {
  const std::string message = WindowsMessage(static_cast<DWORD>(error));
  Raise(errSocketFailure, message.empty() ? "Network socket error " + std::to_string(error) : message);
}

// Through wsock32.dll, which hands over to Winsock 2 where the system has
// it; ws2_32.dll is started as well, for the calls taken from it directly.
// A Winsock 1.1 system answers version 1.1, which is all the IPv4 path needs.
void StartWinsock() {
  static const int failure = [] {
    WSADATA data;
    int result = WSAStartup(MAKEWORD(2, 2), &data);
    // A Winsock 1.1 stack should answer 1.1 to that; one that refuses the
    // version outright is asked for 1.1.
    if (result == WSAVERNOTSUPPORTED) result = WSAStartup(MAKEWORD(1, 1), &data);
    if (result == 0) {
      if (const compat::Winsock2Calls* ws2 = compat::Winsock2()) {
        WSADATA data2;
        ws2->startup(MAKEWORD(2, 2), &data2);
      }
    }
    return result;
  }();
  if (failure) RaiseSocketError(failure);
}

int FamilyOf(NetAddress::Family family) { return family == NetAddress::IPv6 ? AF_INET6 : AF_INET; }

int ToSockaddr(const NetAddress& address, uint16_t port, sockaddr_storage& out) {
  std::memset(&out, 0, sizeof out);
  if (address.family == NetAddress::IPv6) {
    auto& in6 = reinterpret_cast<sockaddr_in6&>(out);
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(port);
    std::memcpy(&in6.sin6_addr, address.bytes.data(), 16);
    return sizeof in6;
  }
  auto& in4 = reinterpret_cast<sockaddr_in&>(out);
  in4.sin_family = AF_INET;
  in4.sin_port = htons(port);
  std::memcpy(&in4.sin_addr, address.bytes.data(), 4);
  return sizeof in4;
}

// False for families other than the two.
bool FromSockaddr(const sockaddr* in, NetAddress& address, uint16_t& port) {
  address = NetAddress();
  if (in->sa_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(in);
    address.family = NetAddress::IPv6;
    std::memcpy(address.bytes.data(), &in6->sin6_addr, 16);
    port = ntohs(in6->sin6_port);
    return true;
  }
  if (in->sa_family != AF_INET) return false;
  const auto* in4 = reinterpret_cast<const sockaddr_in*>(in);
  std::memcpy(address.bytes.data(), &in4->sin_addr, 4);
  port = ntohs(in4->sin_port);
  return true;
}

class Win32UdpSocket : public IUdpSocket {
 public:
  explicit Win32UdpSocket(NetAddress::Family family) : family_(family) {
    socket_ = socket(FamilyOf(family), SOCK_DGRAM, IPPROTO_UDP);
    if (socket_ == INVALID_SOCKET) RaiseSocketError(WSAGetLastError());
    // Bound at once, so that a wait before the first send has a socket to
    // wait on; an ephemeral port of every interface.
    sockaddr_storage any;
    const int length = ToSockaddr(NetAddress{family, {}}, 0, any);
    if (bind(socket_, reinterpret_cast<sockaddr*>(&any), length) == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      closesocket(socket_);
      RaiseSocketError(error);
    }
    // An ICMP "port unreachable" for an earlier send would otherwise fail
    // the next receive with WSAECONNRESET; a silent port is a time-out.
    // Winsock 1.1 has no such switch; the receive loop skips the error.
    if (const compat::Winsock2Calls* ws2 = compat::Winsock2()) {
      BOOL report = FALSE;
      DWORD returned = 0;
      ws2->ioctl(socket_, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    }
  }
  ~Win32UdpSocket() override { closesocket(socket_); }
  Win32UdpSocket(const Win32UdpSocket&) = delete;
  Win32UdpSocket& operator=(const Win32UdpSocket&) = delete;

  void SendTo(const NetAddress& to, uint16_t port, const std::string& bytes) override {
    if (to.family != family_) Raise(errSocketFailure, "Address of another family than the socket's");
    sockaddr_storage address;
    const int length = ToSockaddr(to, port, address);
    if (sendto(socket_, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&address),
               length) == SOCKET_ERROR)
      RaiseSocketError(WSAGetLastError());
  }

  std::optional<Datagram> Receive(unsigned timeoutMs) override {
    const DWORD start = GetTickCount();
    for (bool first = true;; first = false) {
      const DWORD waited = std::min<DWORD>(GetTickCount() - start, timeoutMs);
      const DWORD left = timeoutMs - waited;
      // Only the first look may come with no time left: a stream of errors
      // must not keep the wait going past its time-out.
      if (!first && left == 0) return std::nullopt;
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket_, &readable);
      timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
      const int ready = select(0, &readable, nullptr, nullptr, &wait);
      if (ready == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
      if (ready == 0) return std::nullopt;

      char buffer[kMaxDatagram];
      sockaddr_storage from;
      int fromLength = sizeof from;
      int got = recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (got == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error == WSAECONNRESET) continue;  // see the constructor: no datagram, wait on
        if (error != WSAEMSGSIZE) RaiseSocketError(error);
        got = kMaxDatagram;  // a longer datagram arrives cut, as the interface says
      }
      Datagram datagram;
      if (!FromSockaddr(reinterpret_cast<sockaddr*>(&from), datagram.from, datagram.fromPort)) continue;
      datagram.bytes.assign(buffer, static_cast<std::size_t>(got));
      return datagram;
    }
  }

 private:
  NetAddress::Family family_;
  SOCKET socket_ = INVALID_SOCKET;
};

// A name look-up on a worker (Win32Wait.h): no resolver call has a
// time-out, and one that never returns must not hold the window. The job
// keeps its own copy of the name and the room for the answer; a worker left
// behind at the deadline writes into that room, which nobody reads.
class Lookup : public BlockingJob {
 public:
  Lookup(std::string host, const compat::Winsock2Calls* ws2, Win32Udp::Resolver resolver)
      : host_(std::move(host)), ws2_(ws2), resolver_(resolver) {}

  void Run() override {
    if (resolver_) error = resolver_(host_, addresses);
    else if (ws2_) error = WithGetaddrinfo(*ws2_);
    else error = WithGethostbyname();
  }

  // The answer, for the calling thread once the worker has finished: a
  // Winsock error number (0 when the name resolved) and the addresses,
  // each once, in the order the system gave them.
  int error = 0;
  std::vector<NetAddress> addresses;

 private:
  void Add(const NetAddress& address) {
    if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) addresses.push_back(address);
  }

  int WithGetaddrinfo(const compat::Winsock2Calls& ws2) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    addrinfo* found = nullptr;
    const int result = ws2.getaddrinfo(host_.c_str(), nullptr, &hints, &found);
    if (result != 0) return result;
    for (const addrinfo* a = found; a; a = a->ai_next) {
      NetAddress address;
      uint16_t port = 0;
      if (a->ai_addr && FromSockaddr(a->ai_addr, address, port)) Add(address);
    }
    ws2.freeaddrinfo(found);
    return 0;
  }

  // IPv4 only. The entry lives in the thread's own Winsock buffer: read on
  // this thread, before anything else calls Winsock here.
  int WithGethostbyname() {
    const hostent* entry = gethostbyname(host_.c_str());
    if (!entry) return WSAGetLastError();
    if (entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list) return 0;
    for (char** a = entry->h_addr_list; *a; ++a) {
      NetAddress address;
      std::memcpy(address.bytes.data(), *a, 4);
      Add(address);
    }
    return 0;
  }

  const std::string host_;
  const compat::Winsock2Calls* const ws2_;
  const Win32Udp::Resolver resolver_;
};

// What the system's resolver would answer for a literal, without asking it:
// a dotted IPv4 literal on every system (inet_addr answers INADDR_NONE for
// the broadcast address as for junk), IPv6 ones where getaddrinfo is.
std::optional<NetAddress> Literal(const std::string& host, bool ipv6) {
  const unsigned long v4 = inet_addr(host.c_str());
  if (v4 != INADDR_NONE || host == "255.255.255.255") {
    NetAddress address;
    std::memcpy(address.bytes.data(), &v4, 4);
    return address;
  }
  const std::optional<NetAddress> parsed = ipv6 ? ParseIpLiteral(host) : std::nullopt;
  if (parsed && parsed->family == NetAddress::IPv6) return parsed;
  return std::nullopt;
}

Win32Udp::Resolver g_resolver = nullptr;

}  // namespace

void Win32Udp::ReplaceResolver(Resolver resolver) { g_resolver = resolver; }

std::vector<NetAddress> Win32Udp::Resolve(const std::string& host) {
  StartWinsock();
  // Neither call knows what to do with an empty name or an embedded NUL.
  if (host.empty() || host.find('\0') != std::string::npos) Raise(errHostNotFound, "Host not found: " + host);
  const compat::Winsock2Calls* ws2 = compat::Winsock2();
  const compat::Winsock2Calls* withGetaddrinfo = ws2 && ws2->getaddrinfo ? ws2 : nullptr;
  if (const std::optional<NetAddress> literal = Literal(host, withGetaddrinfo != nullptr)) return {*literal};

  auto lookup = std::make_shared<Lookup>(host, withGetaddrinfo, g_resolver);
  const JobEnd end = RunWithDeadline(lookup, resolveTimeoutMs);
  if (end == JobEnd::TimedOut) {
    char text[120];
    std::snprintf(text, sizeof text, "The name server did not answer within %g s", resolveTimeoutMs / 1000.0);
    Raise(errSocketFailure, text);
  }
  if (end == JobEnd::Refused) Raise(errSocketFailure, "No name look-up: earlier ones still hang");
  if (lookup->error == WSAHOST_NOT_FOUND || lookup->error == WSANO_DATA)
    Raise(errHostNotFound, "Host not found: " + host);
  if (lookup->error) RaiseSocketError(lookup->error);
  if (lookup->addresses.empty()) Raise(errHostNotFound, "Host not found: " + host);
  return lookup->addresses;
}

std::unique_ptr<IUdpSocket> Win32Udp::Open(NetAddress::Family family) {
  StartWinsock();
  return std::make_unique<Win32UdpSocket>(family);
}

}  // namespace tavrel
