// Reading a web server's Date header: the server's clock in whole seconds,
// UTC. Servers write IMF-fixdate; the two older forms a recipient must still
// accept are read too.
#pragma once

#include <optional>
#include <string>

#include "platform/DateTime.h"

namespace tavrel {

// "Sun, 06 Nov 2026 08:49:37 GMT" (IMF-fixdate), "Sunday, 06-Nov-26
// 08:49:37 GMT" (the obsolete RFC 850 form; its two-digit year is 20yy) or
// "Sun Nov  6 08:49:37 2026" (asctime). Nothing for any other text, for a
// day the month does not have, and for years before 2000 or after 2099:
// no clock worth setting from says such a thing.
std::optional<DateTime> ParseHttpDate(const std::string& text);

}  // namespace tavrel
