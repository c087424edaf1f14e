// Any page in, the time text and its fields or a failure out: whatever a
// page holds, the cut stays inside the page and the reading either yields
// fields or a run-time error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/DateTime.h"
#include "platform/RuntimeError.h"
#include "timesync/TimePage.h"

namespace {

const tavrel::TimeMarker kMarkers[] = {
    {"UTC", 90, -9}, {"white\"><b>", 1000, 10}, {"PDT", 90, -9}, {"PST", 90, -9}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  for (const tavrel::TimeMarker& where : kMarkers) {
    try {
      const auto text = tavrel::CutTimeText(page, where);
      if (!text) continue;
      if (text->size() > 8 || page.find(*text) == std::string::npos) std::abort();
      const tavrel::TimeFields f = tavrel::ReadTimeText(*text);
      const long t = tavrel::WrapTimeOfDay(f.hours + 8, f.minutes + 840, f.seconds + 1);
      if (t < 0 || t >= 86400) std::abort();
    } catch (const tavrel::RuntimeError&) {
    }
  }
  return 0;
}
