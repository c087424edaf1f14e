// Small text helpers in the manner of the runtime's string functions.
// Positions are 1-based where they mirror the runtime (InStr, Mid).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrel {

std::string Trim(const std::string& text);       // spaces only, both ends
std::string UCase(const std::string& text);      // ASCII upper case
std::string LCase(const std::string& text);
// Every occurrence of `what` replaced by `with`, left to right.
std::string Replace(const std::string& text, const std::string& what, const std::string& with);
// 1-based position of `what` in `text`, searching from `start`; 0 = not found.
// A start below 1 raises errInvalidCall, as the runtime's does.
long InStr(long start, const std::string& text, const std::string& what);
// `length` characters from 1-based `start`; a start below 1 or a negative
// length raises errInvalidCall; ranges past the end are cut.
std::string Mid(const std::string& text, long start, long length);
std::string Left(const std::string& text, long length);
std::string Right(const std::string& text, long length);
// Characters equal to c removed everywhere.
std::string RemoveChar(const std::string& text, char c);
// The lines of a text file: ends are CR LF, a lone CR or a lone LF; a last
// line without an end counts, an empty text has no lines.
std::vector<std::string> SplitLines(const std::string& text);
// A whole number written in decimal, as Str/CStr would (no leading blank).
std::string CStr(long long number);
// The runtime's numeric test: optional blanks, a sign, digits with one
// decimal separator, an optional exponent, blanks.
bool IsNumeric(const std::string& text, char decimalSeparator);
// Val-like reading of a whole number from a short field that may carry
// leading blanks ("  7", " 1"); raises errTypeMismatch when it is not one.
long ParseWholeNumber(const std::string& field);

}  // namespace tavrel

namespace tavrel {

// The runtime's locale-aware conversions of a text: a number written with
// the system's decimal separator (blanks, sign and exponent allowed), or
// errTypeMismatch. CInt and CLng round halves to the even number and raise
// errOverflow outside 16 / 32 bits. CBool takes True / False (any case) or a
// number, 0 being False.
double CDbl(const std::string& text, char decimalSeparator);
int16_t CInt(const std::string& text, char decimalSeparator);
int32_t CLng(const std::string& text, char decimalSeparator);
bool CBool(const std::string& text, char decimalSeparator);

}  // namespace tavrel
