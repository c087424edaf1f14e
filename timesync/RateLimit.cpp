#include "timesync/RateLimit.h"

#include <algorithm>

namespace tavrel {
namespace {

// A client quiet this long has its whole burst back: it is as good as new
// and need not be remembered.
constexpr uint32_t kForgetMs = static_cast<uint32_t>(RateLimiter::kBurst * RateLimiter::kIntervalMs);

}  // namespace

RateLimiter::Client& RateLimiter::Find(const NetAddress& client, uint32_t tick) {
  for (Client& c : clients_)
    if (c.address == client) return c;
  // The unsigned difference stays right across the tick's wrap.
  clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                [&](const Client& c) { return static_cast<uint32_t>(tick - c.tick) >= kForgetMs; }),
                 clients_.end());
  if (clients_.size() >= kMaxClients) {
    const auto oldest = std::max_element(clients_.begin(), clients_.end(), [&](const Client& a, const Client& b) {
      return static_cast<uint32_t>(tick - a.tick) < static_cast<uint32_t>(tick - b.tick);
    });
    clients_.erase(oldest);
  }
  clients_.push_back({client, kBurst, tick});
  return clients_.back();
}

bool RateLimiter::Allow(const NetAddress& client, uint32_t tick) {
  Client& c = Find(client, tick);
  const uint32_t elapsed = static_cast<uint32_t>(tick - c.tick);
  c.answers = std::min(kBurst, c.answers + static_cast<double>(elapsed) / kIntervalMs);
  c.tick = tick;
  if (c.answers < 1) return false;
  c.answers -= 1;
  return true;
}

}  // namespace tavrel
