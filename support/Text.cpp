#include "support/Text.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "platform/RuntimeError.h"

namespace tavrel {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string UCase(const std::string& text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string LCase(const std::string& text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Replace(const std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  std::string out;
  out.reserve(text.size());
  std::string::size_type pos = 0;
  for (;;) {
    const auto hit = text.find(what, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out += with;
    pos = hit + what.size();
  }
  out.append(text, pos, std::string::npos);
  return out;
}

long InStr(long start, const std::string& text, const std::string& what) {
  if (start < 1) Raise(errInvalidCall);
  if (static_cast<unsigned long>(start) > text.size()) return 0;
  const auto hit = text.find(what, static_cast<std::string::size_type>(start - 1));
  return hit == std::string::npos ? 0 : static_cast<long>(hit + 1);
}

std::string Mid(const std::string& text, long start, long length) {
  if (start < 1 || length < 0) Raise(errInvalidCall);
  if (static_cast<unsigned long>(start) > text.size()) return std::string();
  return text.substr(static_cast<std::string::size_type>(start - 1),
                     static_cast<std::string::size_type>(length));
}

std::string Left(const std::string& text, long length) {
  if (length < 0) Raise(errInvalidCall);
  return text.substr(0, static_cast<std::string::size_type>(length));
}

std::string Right(const std::string& text, long length) {
  if (length < 0) Raise(errInvalidCall);
  const auto n = static_cast<std::string::size_type>(length);
  return n >= text.size() ? text : text.substr(text.size() - n);
}

std::string RemoveChar(const std::string& text, char c) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text)
    if (ch != c) out += ch;
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string CStr(long long number) { return std::to_string(number); }

bool IsNumeric(const std::string& text, char decimalSeparator) {
  const std::string t = Trim(text);
  std::size_t i = 0;
  const std::size_t n = t.size();
  if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
  bool digits = false;
  while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) { ++i; digits = true; }
  if (i < n && t[i] == decimalSeparator) {
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) { ++i; digits = true; }
  }
  if (!digits) return false;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    bool expDigits = false;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) { ++i; expDigits = true; }
    if (!expDigits) return false;
  }
  return i == n;
}

long ParseWholeNumber(const std::string& field) {
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  if (i == field.size()) Raise(errTypeMismatch);
  bool negative = false;
  if (field[i] == '+' || field[i] == '-') negative = field[i++] == '-';
  long value = 0;
  bool digits = false;
  while (i < field.size() && std::isdigit(static_cast<unsigned char>(field[i]))) {
    value = value * 10 + (field[i++] - '0');
    digits = true;
    if (value > 99999999) Raise(errOverflow);
  }
  while (i < field.size() && field[i] == ' ') ++i;
  if (!digits || i != field.size()) Raise(errTypeMismatch);
  return negative ? -value : value;
}

}  // namespace tavrel

namespace tavrel {

double CDbl(const std::string& text, char decimalSeparator) {
  if (!IsNumeric(text, decimalSeparator)) Raise(errTypeMismatch);
  std::string t = Trim(text);
  for (char& c : t)
    if (c == decimalSeparator) c = '.';
  return std::strtod(t.c_str(), nullptr);
}

namespace {
double RoundHalfEven(double value) { return std::nearbyint(value); }  // the default rounding mode
}  // namespace

int16_t CInt(const std::string& text, char decimalSeparator) {
  const double value = RoundHalfEven(CDbl(text, decimalSeparator));
  if (value < INT16_MIN || value > INT16_MAX) Raise(errOverflow);
  return static_cast<int16_t>(value);
}

int32_t CLng(const std::string& text, char decimalSeparator) {
  const double value = RoundHalfEven(CDbl(text, decimalSeparator));
  if (value < INT32_MIN || value > INT32_MAX) Raise(errOverflow);
  return static_cast<int32_t>(value);
}

bool CBool(const std::string& text, char decimalSeparator) {
  const std::string word = LCase(Trim(text));
  if (word == "true") return true;
  if (word == "false") return false;
  return CDbl(text, decimalSeparator) != 0;
}

}  // namespace tavrel
