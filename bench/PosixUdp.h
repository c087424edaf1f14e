// UDP over POSIX sockets, for measuring the SNTP client on Linux against a
// server on loopback.
#pragma once

#include "platform/Platform.h"

namespace tavrel {

class PosixUdp : public IUdp {
 public:
  std::vector<NetAddress> Resolve(const std::string& host) override;
  std::unique_ptr<IUdpSocket> Open(NetAddress::Family family) override;
  // The benchmark has no window thread to run a server on.
  std::unique_ptr<IUdpSocket> Listen(NetAddress::Family, uint16_t, std::function<void(uint32_t)>) override {
    Raise(errSocketFailure, "No serving sockets in the benchmark");
  }
};

}  // namespace tavrel
