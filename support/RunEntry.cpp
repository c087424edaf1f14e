#include "support/RunEntry.h"

#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/VRN_Registry.h"

namespace tavrel {
namespace {

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string MachineEntry(const std::string& name) { return "HKEY_LOCAL_MACHINE\\" + std::string(kRunKey) + "\\" + name; }
std::string UserEntry(const std::string& name) { return "HKEY_CURRENT_USER\\" + std::string(kRunKey) + "\\" + name; }

}  // namespace

// A refused machine-wide write is no error: the user's own key serves. Only
// a refusal there is reported, by CreateKey.
void WriteRunEntry(const std::string& name, const std::string& command) {
  const bool machineWide =
      ErrorTrap::Quietly([&] { Sys().registry->WriteString(RegRoot::LocalMachine, kRunKey, name, command); });
  if (machineWide) {
    DeleteKey(UserEntry(name));
  } else {
    CreateKey(UserEntry(name), command);
  }
}

void RemoveRunEntry(const std::string& name) {
  DeleteKey(MachineEntry(name));
  DeleteKey(UserEntry(name));
}

}  // namespace tavrel
