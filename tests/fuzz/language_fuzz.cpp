// Arbitrary bytes as the language file. Whatever the file holds, loading it
// must neither crash nor misbehave: it either succeeds quietly with clean
// texts, or tells the user exactly once and answers false.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/memory/MemoryPlatform.h"
#include "support/Globals.h"
#include "support/VRN_ErrorLog.h"
#include "support/VRN_Language.h"

using namespace tavrel;

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetProgramState();
  ResetErrorLogState();
  ProgramName = "Tavrel";
  ProductNumber = "230";
  MemoryPlatform sys;
  sys.files.AddFile("C:\\Program Files\\VRN\\Common\\language\\english.lng",
                    std::string(reinterpret_cast<const char*>(data), size));

  const bool loaded = set_language("english.lng");

  Require(sys.windows.doEvents >= 1);
  if (loaded) {
    Require(sys.windows.boxes.empty());
    Require(!sys.files.FileContent("C:\\Program Files\\VRN\\Common\\error.log"));
    for (const std::string& text : LanguageTexts) {
      Require(text.find_first_of("\r\n") == std::string::npos);
      Require(text.empty() || (text.front() != ' ' && text.back() != ' '));
    }
  } else {
    Require(sys.windows.boxes.size() == 1);
    Require(sys.windows.boxes[0].style == 4096);
  }
  return 0;
}
