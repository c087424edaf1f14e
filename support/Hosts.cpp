#include "support/Hosts.h"

#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Text.h"

namespace tavrel {
namespace {
const char* const kHostsKey = "Software\\VRN\\Tavrel\\Hosts";
}

std::string HostSetting(const char* name, const char* fallback) {
  std::string value;
  ErrorTrap::Quietly([&] {
    const RegValue read = Sys().registry->Read(RegRoot::LocalMachine, kHostsKey, name);
    if (read.type == RegValue::String) value = Trim(read.text);
  });
  // A base address written with a final slash still joins its paths cleanly.
  while (!value.empty() && value.back() == '/') value.pop_back();
  return value.empty() ? std::string(fallback) : value;
}

std::string SupportMailAddress() { return HostSetting("SupportMail", "support@vrn.example"); }

}  // namespace tavrel
