// What the program remembers of every NTP server it asked, for as long as
// it runs, to be a good client of public servers (RFC 4330 section 10,
// RFC 5905 section 7.4): a server is asked no more often than once every
// 15 seconds; its kiss-o'-death RATE doubles that interval; DENY or RSTR
// ends the asking. Times are TickCount() readings: setting the clock moves
// none of them.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tavrel {

class NtpServerBook {
 public:
  static constexpr uint32_t kFloorMs = 15000;
  static constexpr uint32_t kLongestIntervalMs = 24u * 3600u * 1000u;

  // Why `server` ("192.0.2.1:123") must not be asked at tick `now`, in
  // words for the result line ("refused service (DENY)", "asked less than
  // 15 s ago"); "" when it may be asked.
  std::string Refusal(const std::string& server, uint32_t now) const;
  // The server was asked; its last request went out at tick `now`.
  void Asked(const std::string& server, uint32_t now);
  // The server sent a kiss-o'-death with this code ("RATE", "DENY", "RSTR").
  void Kissed(const std::string& server, const std::string& code);
  // The least time between two runs that ask the server, in milliseconds.
  uint32_t IntervalMs(const std::string& server) const;
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    bool asked = false;
    uint32_t lastTick = 0;
    uint32_t intervalMs = kFloorMs;
    std::string refusedWith;  // "DENY" or "RSTR" once the server said so
  };
  std::map<std::string, Entry> entries_;
};

// The program's one book.
NtpServerBook& TheNtpServerBook();

}  // namespace tavrel
