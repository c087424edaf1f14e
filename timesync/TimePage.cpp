#include "timesync/TimePage.h"

#include "support/Text.h"

namespace tavrel {

std::optional<std::string> CutTimeText(const std::string& page, const TimeMarker& where) {
  const long p = InStr(where.searchFrom, page, where.marker);
  if (p == 0) return std::nullopt;
  return Mid(page, p + where.cutOffset, 8);
}

TimeFields ReadTimeText(const std::string& text) {
  TimeFields f;
  f.hours = static_cast<int>(ParseWholeNumber(Left(text, 2)));
  f.minutes = static_cast<int>(ParseWholeNumber(Mid(text, 4, 2)));
  f.seconds = static_cast<int>(ParseWholeNumber(Right(text, 2)));
  return f;
}

}  // namespace tavrel
