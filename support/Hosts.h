// Where the program reaches the outside world: the time-page hosts, the
// maker's web site and its support address. Each has a compiled-in default
// that a string value in HKEY_LOCAL_MACHINE\Software\VRN\Tavrel\Hosts can
// override, so that a test machine can point the program at a local server.
#pragma once

#include <string>

namespace tavrel {

// The value `name` of the hosts key, trimmed; `fallback` when it is missing,
// empty, not a string or cannot be read. Never reports: a missing override
// is the normal case.
std::string HostSetting(const char* name, const char* fallback);

// The maker's support e-mail address ("SupportMail").
std::string SupportMailAddress();

}  // namespace tavrel
