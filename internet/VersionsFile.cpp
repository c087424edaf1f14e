#include "internet/VersionsFile.h"

#include "platform/RuntimeError.h"
#include "support/Text.h"

namespace tavrel {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Blanks and line ends after the last field are not data: a file that ends
// with a line end (as every copy written here does) has no empty record
// behind its last one.
std::size_t ContentEnd(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && (IsBlank(text[end - 1]) || IsLineEnd(text[end - 1]))) --end;
  return end;
}

int WholeNumber16(const std::string& part) {
  const long value = ParseWholeNumber(part);
  if (value < -32768 || value > 32767) Raise(errOverflow);
  return static_cast<int>(value);
}

}  // namespace

SequentialInput::SequentialInput(const std::string& text) : text_(text), end_(ContentEnd(text)) {}

std::string SequentialInput::Field() {
  if (pos_ >= text_.size()) Raise(errInputPastEnd);
  const std::size_t size = text_.size();
  while (pos_ < size && IsBlank(text_[pos_])) ++pos_;

  std::string field;
  if (pos_ < size && text_[pos_] == '"') {
    // Everything up to the closing quote, commas and line ends included;
    // what stands between the closing quote and the delimiter is dropped.
    const std::size_t close = text_.find('"', pos_ + 1);
    const std::size_t stop = close == std::string::npos ? size : close;
    field = text_.substr(pos_ + 1, stop - pos_ - 1);
    pos_ = stop == size ? size : stop + 1;
    while (pos_ < size && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
  } else {
    const std::size_t start = pos_;
    while (pos_ < size && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
    std::size_t stop = pos_;
    while (stop > start && IsBlank(text_[stop - 1])) --stop;
    field = text_.substr(start, stop - start);
  }

  // One delimiter: a comma, or a line end (CR LF, CR or LF).
  if (pos_ < size) {
    if (text_[pos_] == ',') {
      ++pos_;
    } else if (text_[pos_] == '\r') {
      ++pos_;
      if (pos_ < size && text_[pos_] == '\n') ++pos_;
    } else if (text_[pos_] == '\n') {
      ++pos_;
    }
  }
  return field;
}

PublishedVersion SplitVersion(const std::string& version) {
  const std::size_t first = version.find('.');
  if (first == std::string::npos) Raise(errInvalidCall);
  const std::size_t second = version.find('.', first + 1);
  if (second == std::string::npos) Raise(errInvalidCall);
  PublishedVersion v;
  v.major = WholeNumber16(version.substr(0, first));
  v.minor = WholeNumber16(version.substr(first + 1, second - first - 1));
  v.revision = WholeNumber16(version.substr(second + 1));
  return v;
}

}  // namespace tavrel
