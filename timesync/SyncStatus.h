// The tray icon's tooltip after a run: when the clock was last set and from
// what, or why the last try failed, in the 63 characters the notification
// icon's first record holds.
#pragma once

#include <cstddef>
#include <string>

#include "timesync/SyncCore.h"

namespace tavrel {

constexpr std::size_t kTooltipChars = 63;

// "Set 12:00:03 from pool.ntp.org, 3 of 4 agree" or "Last try failed
// 12:00:03: no answer", `timeText` being the time of day the run ended
// (the system's long time format). A source name too long for the room
// left is shortened with "..."; the rest is never cut.
std::string SyncStatusText(const SyncResult& result, const std::string& timeText);

}  // namespace tavrel
