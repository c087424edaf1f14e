#include "timesync/SyncStatus.h"

namespace tavrel {
namespace {

const char* Reason(SyncResult::Outcome outcome) {
  switch (outcome) {
    case SyncResult::NetworkDown: return "no network";
    case SyncResult::NotConfirmed: return "correction not confirmed";
    case SyncResult::Declined: return "correction declined";
    case SyncResult::Refused: return "clock not set";
    case SyncResult::Set:
    case SyncResult::NoAnswer: break;
  }
  return "no answer";
}

}  // namespace

std::string SyncStatusText(const SyncResult& result, const std::string& timeText) {
  if (!result.synchronised) return ("Last try failed " + timeText + ": " + Reason(result.outcome)).substr(0, kTooltipChars);
  const std::string head = "Set " + timeText + " from ";
  const std::string tail = result.agreement.empty() ? "" : ", " + result.agreement;
  std::string name = result.sourceName;
  const std::size_t fixed = head.size() + tail.size();
  if (fixed + name.size() > kTooltipChars) {
    const std::size_t room = fixed + 3 < kTooltipChars ? kTooltipChars - fixed - 3 : 0;
    name = name.substr(0, room) + "...";
  }
  return (head + name + tail).substr(0, kTooltipChars);
}

}  // namespace tavrel
