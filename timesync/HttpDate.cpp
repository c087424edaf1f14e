#include "timesync/HttpDate.h"

#include <cstring>

namespace tavrel {
namespace {

const char* const kShortDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kLongDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A left-to-right reader that fails for good at the first thing it does not
// expect.
class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return pos_ == text_.size(); }

  void Literal(const char* expected) {
    const std::size_t n = std::strlen(expected);
    if (!ok_ || text_.compare(pos_, n, expected) != 0) {
      ok_ = false;
      return;
    }
    pos_ += n;
  }
  // Exactly `count` digits.
  int Digits(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
      if (!ok_ || pos_ >= text_.size() || text_[pos_] < '0' || text_[pos_] > '9') {
        ok_ = false;
        return 0;
      }
      value = value * 10 + (text_[pos_++] - '0');
    }
    return value;
  }
  // One of `names` (case-sensitive, as the grammar has them); its index.
  template <std::size_t N>
  int Name(const char* const (&names)[N]) {
    for (std::size_t i = 0; ok_ && i < N; ++i) {
      const std::size_t n = std::strlen(names[i]);
      // The longest names first would matter only if one were a prefix of
      // another followed by what the grammar expects next; none is.
      if (text_.compare(pos_, n, names[i]) == 0) {
        pos_ += n;
        return static_cast<int>(i);
      }
    }
    ok_ = false;
    return 0;
  }
  char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::optional<DateTime> Build(int year, int month, int day, int hour, int minute, int second) {
  static const int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1) return std::nullopt;
  if (day > kLength[month - 1] + (month == 2 && LeapYear(year) ? 1 : 0)) return std::nullopt;
  // A leap second (60) is read as the last second of its minute.
  if (hour > 23 || minute > 59 || second > 60) return std::nullopt;
  if (second == 60) second = 59;
  return MakeDateTime(year, month, day, hour, minute, second);
}

void Time(Reader& r, int& hour, int& minute, int& second) {
  hour = r.Digits(2);
  r.Literal(":");
  minute = r.Digits(2);
  r.Literal(":");
  second = r.Digits(2);
}

}  // namespace

std::optional<DateTime> ParseHttpDate(const std::string& raw) {
  // Blanks around the field value are no part of it.
  const std::size_t first = raw.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const std::string text = raw.substr(first, raw.find_last_not_of(" \t\r\n") - first + 1);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;

  // IMF-fixdate: the short day name and a comma.
  if (text.size() > 3 && text[3] == ',') {
    Reader r(text);
    r.Name(kShortDays);
    r.Literal(", ");
    day = r.Digits(2);
    r.Literal(" ");
    month = r.Name(kMonths) + 1;
    r.Literal(" ");
    year = r.Digits(4);
    r.Literal(" ");
    Time(r, hour, minute, second);
    r.Literal(" GMT");
    if (!r.ok() || !r.AtEnd()) return std::nullopt;
    return Build(year, month, day, hour, minute, second);
  }
  // asctime: the short day name and a blank; the day may be padded with one.
  if (text.size() > 3 && text[3] == ' ') {
    Reader r(text);
    r.Name(kShortDays);
    r.Literal(" ");
    month = r.Name(kMonths) + 1;
    r.Literal(" ");
    if (r.Peek() == ' ') {
      r.Literal(" ");
      day = r.Digits(1);
    } else {
      day = r.Digits(2);
    }
    r.Literal(" ");
    Time(r, hour, minute, second);
    r.Literal(" ");
    year = r.Digits(4);
    if (!r.ok() || !r.AtEnd()) return std::nullopt;
    return Build(year, month, day, hour, minute, second);
  }
  // RFC 850: the long day name, a comma and dashes.
  Reader r(text);
  r.Name(kLongDays);
  r.Literal(", ");
  day = r.Digits(2);
  r.Literal("-");
  month = r.Name(kMonths) + 1;
  r.Literal("-");
  year = 2000 + r.Digits(2);
  r.Literal(" ");
  Time(r, hour, minute, second);
  r.Literal(" GMT");
  if (!r.ok() || !r.AtEnd()) return std::nullopt;
  return Build(year, month, day, hour, minute, second);
}

}  // namespace tavrel
