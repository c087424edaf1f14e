// How often the computer's NTP server answers one client address: one
// answer every two seconds on average (RFC 5905's minimum headway), with a
// burst of two, so that a client that asks again at once after a lost
// answer still gets one. A client beyond that gets a Kiss-o'-Death RATE
// instead; the server never waits, it only counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Platform.h"

namespace tavrel {

class RateLimiter {
 public:
  static constexpr uint32_t kIntervalMs = 2000;
  static constexpr double kBurst = 2;
  // Clients remembered at most; beyond that the one heard from longest ago
  // is forgotten (a forged flood of sender addresses cannot grow it).
  static constexpr std::size_t kMaxClients = 1024;

  // Whether `client` may have an answer at `tick` (IClock::TickCount, ms),
  // counting it when so.
  bool Allow(const NetAddress& client, uint32_t tick);
  std::size_t Clients() const { return clients_.size(); }

 private:
  struct Client {
    NetAddress address;
    double answers;  // answers still allowed now, up to kBurst
    uint32_t tick;   // when `answers` was counted
  };
  Client& Find(const NetAddress& client, uint32_t tick);
  std::vector<Client> clients_;
};

}  // namespace tavrel
