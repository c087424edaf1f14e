#include "support/VRN_ErrorLog.h"

#include "platform/Forms.h"
#include "platform/Platform.h"

namespace tavrel {

void ReportError(bool, const std::string&, const std::string&, long, long, const std::string&) {}
void LogErrorDetails(const std::string&, const std::string&, const std::string&, const std::string&,
                     const std::string&, const std::string&, const std::string&, const std::string&,
                     const std::string&, const std::string&) {}

void ResetErrorLogState() {}

void LetEventsRun() {
  if (Sys().windows) Sys().windows->DoEvents();
}

}  // namespace tavrel
