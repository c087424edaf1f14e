#include "bench/PosixUdp.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavrel {
namespace {

[[noreturn]] void RaiseErrno() { Raise(errSocketFailure, std::strerror(errno)); }

socklen_t ToSockaddr(const NetAddress& address, uint16_t port, sockaddr_storage& out) {
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

class PosixUdpSocket : public IUdpSocket {
 public:
  explicit PosixUdpSocket(NetAddress::Family family) : family_(family) {
    fd_ = socket(family == NetAddress::IPv6 ? AF_INET6 : AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0) RaiseErrno();
  }
  ~PosixUdpSocket() override { close(fd_); }

  void SendTo(const NetAddress& to, uint16_t port, const std::string& bytes) override {
    if (to.family != family_) Raise(errSocketFailure, "Address of another family than the socket's");
    sockaddr_storage address;
    const socklen_t length = ToSockaddr(to, port, address);
    if (sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), length) < 0)
      RaiseErrno();
  }

  std::optional<Datagram> Receive(unsigned timeoutMs) override {
    pollfd wait{fd_, POLLIN, 0};
    for (;;) {
      const int ready = poll(&wait, 1, static_cast<int>(timeoutMs));
      if (ready == 0) return std::nullopt;
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) RaiseErrno();
      char buffer[4096];
      sockaddr_storage from;
      socklen_t fromLength = sizeof from;
      const ssize_t got = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (got < 0 && errno == ECONNREFUSED) continue;  // an earlier send's ICMP answer, no datagram
      if (got < 0) RaiseErrno();
      Datagram datagram;
      if (!FromSockaddr(reinterpret_cast<sockaddr*>(&from), datagram.from, datagram.fromPort)) continue;
      datagram.bytes.assign(buffer, static_cast<std::size_t>(got));
      return datagram;
    }
  }

 private:
  NetAddress::Family family_;
  int fd_ = -1;
};

}  // namespace

std::vector<NetAddress> PosixUdp::Resolve(const std::string& host) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (result == EAI_NONAME) Raise(errHostNotFound, "Host not found: " + host);
  if (result != 0) Raise(errSocketFailure, gai_strerror(result));
  std::vector<NetAddress> addresses;
  for (const addrinfo* a = found; a; a = a->ai_next) {
    NetAddress address;
    uint16_t port = 0;
    if (FromSockaddr(a->ai_addr, address, port) &&
        std::find(addresses.begin(), addresses.end(), address) == addresses.end())
      addresses.push_back(address);
  }
  freeaddrinfo(found);
  if (addresses.empty()) Raise(errHostNotFound, "Host not found: " + host);
  return addresses;
}

std::unique_ptr<IUdpSocket> PosixUdp::Open(NetAddress::Family family) {
  return std::make_unique<PosixUdpSocket>(family);
}

}  // namespace tavrel
