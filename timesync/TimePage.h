// Cutting the time of day out of a time page. Kept apart from the fetching
// so that every byte a page can hold is tried against it (tests/fuzz).
#pragma once

#include <optional>
#include <string>

namespace tavrel {

// Where a source prints its time: the marker searched (case-sensitive) from
// a 1-based character position on, and where the eight characters of
// hh:mm:ss start relative to the marker's position.
struct TimeMarker {
  const char* marker;
  long searchFrom;
  long cutOffset;
};

// The time text (up to eight characters; fewer when the page ends), or
// nothing when the marker does not occur from searchFrom on. Never reads
// outside the page.
std::optional<std::string> CutTimeText(const std::string& page, const TimeMarker& where);

struct TimeFields {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
};

// Hours from the first two characters, minutes from characters 4 and 5,
// seconds from the last two, each a whole number that may carry leading
// blanks. Raises errTypeMismatch when a field is not a number.
TimeFields ReadTimeText(const std::string& text);

}  // namespace tavrel
