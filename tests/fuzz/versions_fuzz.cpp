// Any versions file in, fields and versions or a run-time error out: the
// reader always moves on (no field is read twice, none outside the text),
// and every field it yields is a piece of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "internet/VersionsFile.h"
#include "platform/RuntimeError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  tavrel::SequentialInput input(page);
  std::size_t fields = 0;
  try {
    for (;;) {
      const bool atEnd = input.AtEnd();
      const std::string field = input.Field();
      if (++fields > size + 1) std::abort();  // a read that does not advance
      if (!field.empty() && page.find(field) == std::string::npos) std::abort();
      if (atEnd && !field.empty()) std::abort();  // only blanks after the end
      try {
        const tavrel::PublishedVersion v = tavrel::SplitVersion(field);
        if (v.major < -32768 || v.major > 32767 || v.revision < -32768 || v.revision > 32767) std::abort();
      } catch (const tavrel::RuntimeError&) {
      }
    }
  } catch (const tavrel::RuntimeError& e) {
    if (e.Number() != tavrel::errInputPastEnd) std::abort();
  }
  return 0;
}
