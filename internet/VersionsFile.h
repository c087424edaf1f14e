// The versions file of the maker's web site, read the way the runtime's
// sequential input reads a data file: fields are separated by commas or
// line ends, a field may be enclosed in double quotes, blanks before a field
// are skipped. Records are pairs of product number and version text
// (230,3.10.2). Pure text in, fields out: no platform, no allocation beyond
// the fields themselves.
#pragma once

#include <cstddef>
#include <string>

namespace tavrel {

class SequentialInput {
 public:
  // Reads from `text`, which must outlive the reader.
  explicit SequentialInput(const std::string& text);
  // True when nothing but blanks and line ends is left to read.
  bool AtEnd() const { return pos_ >= end_; }
  // The next field. Raises errInputPastEnd (62) when the text is used up.
  std::string Field();

 private:
  const std::string& text_;
  std::size_t end_;
  std::size_t pos_ = 0;
};

// The three parts of a version text major.minor.revision: the text before
// the first dot, between the first and the second, and after the second,
// each read as a whole number. Raises errInvalidCall (5) when there is no
// second dot and errTypeMismatch (13) / errOverflow (6) for a part that is
// not a whole number of 16 bits.
struct PublishedVersion {
  int major = 0, minor = 0, revision = 0;
};
PublishedVersion SplitVersion(const std::string& version);

}  // namespace tavrel
