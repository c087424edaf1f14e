// UDP over POSIX sockets and the UTC clock from clock_gettime, for
// measuring the SNTP client on Linux against a server on loopback.
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

// UTC only: the benchmark never reads local time nor sets the clock.
class PosixClock : public IClock {
 public:
  DateTime Now() override { return NowUtc(); }
  DateTime NowUtc() override;
  void SetLocalTime(DateTime) override { Raise(errPermissionDenied); }
  bool MaySetTime() override { return false; }
  void BroadcastTimeChange() override {}
  void WaitUntilUtc(DateTime utc) override;
  uint32_t TickCount() override;
};

}  // namespace tavrel
