#include "support/Hosts.h"

#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Text.h"

namespace tavrel {

std::string HostSetting(const char* name, const char* fallback) {
  std::string value;
  ErrorTrap::Quietly([&] {
    const RegValue v = Sys().registry->Read(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\Hosts", name);
    if (v.type == RegValue::String) value = Trim(v.text);
  });
  while (!value.empty() && value.back() == '/') value.pop_back();
  return value.empty() ? std::string(fallback) : value;
}

}  // namespace tavrel
