// The hosts the program talks to are settings of the installation: each can
// be overridden by a string value (a base address such as
// "http://127.0.0.1:8080", no path) in
// HKEY_LOCAL_MACHINE\Software\VRN\Tavrel\Hosts; the defaults are built in.
#pragma once

#include <string>

namespace tavrel {

// The value `name` of the hosts key, or `fallback` when it is missing or
// empty. Read quietly: a missing override is the normal case.
std::string HostSetting(const char* name, const char* fallback);

}  // namespace tavrel
