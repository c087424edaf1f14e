#include "support/ErrorTrap.h"

#include <new>
#include <stdexcept>

#include "platform/Platform.h"
#include "support/VRN_ErrorLog.h"

namespace tavrel {

const char* const kSourceMain = "A_Tavrel";
const char* const kSourceCommon = "Common";

// The version resource is read once per process (per platform in the tests),
// not at every trap.
std::string ProductSource() {
  static IProcess* readFrom = nullptr;
  static std::string name;
  IProcess* process = Sys().process;
  if (!process) return "vrn Tavrel XP";
  if (process != readFrom) {
    name = process->ProductName();
    readFrom = process;
  }
  return name;
}

void ErrorTrap::Translate(const std::exception& e, long& number, std::string& description) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) number = errOutOfMemory;
  else if (dynamic_cast<const std::out_of_range*>(&e) || dynamic_cast<const std::overflow_error*>(&e))
    number = errOverflow;
  else if (dynamic_cast<const std::invalid_argument*>(&e)) number = errTypeMismatch;
  else number = errInvalidCall;
  description = ErrorDescription(number);
}

void ErrorTrap::Report(int line, long number, const std::string& description) {
  ReportError(showMessage_, source_, procedure_, line, number, description);
  if (afterReport) afterReport();
}

std::string FormProcedure(const std::string& form, const std::string& procedure) {
  return procedure + " of Formular " + form;
}

std::string ModuleProcedure(const std::string& module, const std::string& procedure) {
  return procedure + " of Modul " + module;
}

}  // namespace tavrel
