// Placeholder reporter until the error log lands: appends the log line to
// Common\error.log so that reports can be counted.
#include "support/VRN_ErrorLog.h"

#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"

namespace tavrel {

std::string ErrorLogPath() { return Sys().process->AppPath() + "\\..\\Common\\error.log"; }

void ReportError(bool, const std::string& source, const std::string& procedure, long line, long number,
                 const std::string& description) {
  const VersionNumbers v = Sys().process->Version();
  const std::string entry = "  " + source + " : " + ProductNumber + " v." + std::to_string(v.major) + "." +
                            std::to_string(v.minor) + "." + std::to_string(v.revision) + "  " + procedure +
                            "  " + std::to_string(line) + "  " + std::to_string(number) + "  " + description +
                            "\r\n";
  ErrorTrap::Quietly([&] {
    const std::string folder = Sys().process->AppPath() + "\\..\\Common";
    if (!Sys().files->FolderExists(folder)) Sys().files->CreateFolder(folder);
    Sys().files->Write(ErrorLogPath(), entry, true);
  });
}

void ResetErrorLogState() {}

}  // namespace tavrel
