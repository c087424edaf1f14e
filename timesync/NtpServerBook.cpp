#include "timesync/NtpServerBook.h"

#include <algorithm>

namespace tavrel {

std::string NtpServerBook::Refusal(const std::string& server, uint32_t now) const {
  const auto it = entries_.find(server);
  if (it == entries_.end()) return "";
  const Entry& e = it->second;
  if (!e.refusedWith.empty()) return "refused service (" + e.refusedWith + ")";
  // Unsigned: right across the tick's wrap after 49.7 days.
  if (e.asked && static_cast<uint32_t>(now - e.lastTick) < e.intervalMs)
    return "asked less than " + std::to_string(e.intervalMs / 1000) + " s ago";
  return "";
}

void NtpServerBook::Asked(const std::string& server, uint32_t now) {
  Entry& e = entries_[server];
  e.asked = true;
  e.lastTick = now;
}

void NtpServerBook::Kissed(const std::string& server, const std::string& code) {
  Entry& e = entries_[server];
  if (code == "RATE") e.intervalMs = std::min(e.intervalMs * 2, kLongestIntervalMs);
  if (code == "DENY" || code == "RSTR") e.refusedWith = code;
}

uint32_t NtpServerBook::IntervalMs(const std::string& server) const {
  const auto it = entries_.find(server);
  return it == entries_.end() ? kFloorMs : it->second.intervalMs;
}

NtpServerBook& TheNtpServerBook() {
  static NtpServerBook book;
  return book;
}

}  // namespace tavrel
