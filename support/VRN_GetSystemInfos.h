// Who and what this machine is: user, organisation, machine number, folders
// and the Windows version.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel {

void GetPCInfos();
std::string GetUser();
std::string GetCompany();
std::string ClipNull(const std::string& text);
int32_t GetDriveSerial(const std::string& letter);
std::string GetSysDir();
std::string GetWinDir();
std::string GetWinVersion();
// The nine-digit machine number of a drive serial.
std::string MachineCodeOf(int32_t serial);

}  // namespace tavrel
