// Who and what this machine is. The answers feed the settings keys (user
// name, machine number) and the header of the error log.
#include "support/VRN_GetSystemInfos.h"

#include <cstring>

#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Text.h"
#include "support/VRN_Registry.h"

namespace tavrel {
namespace {

const char* const kModule = "VRN_GetSystemInfos";

static_assert(sizeof(OsVersionInfo) == 148, "the record must keep the system's layout");

enum : uint32_t { kPlatformWin32s = 0, kPlatformWindows = 1, kPlatformNT = 2, kPlatformCE = 3 };

std::string WindowsName(const OsVersionInfo& v) {
  const uint32_t major = v.dwMajorVersion, minor = v.dwMinorVersion;
  switch (v.dwPlatformId) {
    case kPlatformWin32s:
      return "Windows 32s";
    case kPlatformWindows: {
      // The 95 family keeps major and minor version in the high word of the
      // build number (4.10.1998 reads 0x040A07CE); only the low word is the
      // build, and comparing the whole number would call every 95 "OSR2"
      // and every 98 "SE".
      const uint32_t build = v.dwBuildNumber & 0xFFFFu;
      if (minor < 10) {
        if (build == 950) return "Windows 95";
        if (build > 950 && build <= 1080) return "Windows 95 SP1";
        return "Windows 95 OSR2";
      }
      if (minor == 10) {
        if (build == 1998) return "Windows 98";
        if (build > 1998 && build < 2183) return "Windows 98 SP1";
        if (build >= 2183) return "Windows 98 SE";
        return "";
      }
      return "Windows ME";
    }
    case kPlatformNT:
      if (major == 3) return "Windows NT 3.51";
      if (major == 4) return "Windows NT 4.0";
      if (major == 5) {
        if (minor == 0) return "Windows 2000";
        if (minor == 1) return "Windows XP";
        if (minor == 2) return "Windows 2003";
        return "unknown";
      }
      return "";
    case kPlatformCE:
      if (major == 1) return "Windows CE 1.0";
      if (major == 2) return minor == 0 ? "Windows CE 2.0" : "Windows CE 2.1";
      return "Windows CE 3.0";
    default:
      return "Unable To Get Windows Version";
  }
}

constexpr uint32_t kUserBufferSize = 25;

}  // namespace

void GetPCInfos() {
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "GetPCInfos"));
  trap(10, [&] {
    UserName = UCase(Trim(ClipNull(GetUser())));
    if (UserName.empty()) UserName = "ADMIN";
  });
  trap(20, [&] { MachineCode = MachineCodeOf(GetDriveSerial("C")); });
  trap(30, [&] {
    CompanyName = UCase(Trim(ClipNull(GetCompany())));
    if (CompanyName.empty() || CompanyName.find("HKEY_LOCAL_MACHINE") != std::string::npos)
      CompanyName = "NONE";
  });
}

std::string GetUser() {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "GetUser"));
  trap(10, [&] {
    // A name that does not fit the buffer with its NUL is no name at all.
    const auto name = Sys().system->UserName(kUserBufferSize);
    if (name) {
      result = *name;
      result.resize(kUserBufferSize, '\0');
    }
  });
  return result;
}

std::string GetCompany() {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "GetCompany"));
  trap(10, [&] { GetWinVersion(); });
  trap(20, [&] {
    result = ReadKey(VersionInfo.dwPlatformId == kPlatformNT
                         ? "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\RegisteredOrganization"
                         : "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RegisteredOrganization");
  });
  return result;
}

// Nine digits from the serial: the serial's 32 bits are mixed (a
// multiplicative hash, so neighbouring serials do not give neighbouring
// codes) and reduced below 10^9. Plain integer arithmetic, the same on every
// build; 0 and negative serials are serials like any other.
std::string MachineCodeOf(int32_t serial) {
  uint64_t mixed = static_cast<uint32_t>(serial);
  mixed = (mixed * 2654435761u + 40503u) % 4294967291u;  // below the largest 32-bit prime
  mixed = (mixed * 2246822519u + 3266489917u) % 1000000000u;
  std::string digits = std::to_string(mixed);
  return std::string(9 - digits.size(), '0') + digits;
}

std::string ClipNull(const std::string& text) {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "ClipNull"));
  trap(10, [&] { result = RemoveChar(text, '\0'); });
  return result;
}

int32_t GetDriveSerial(const std::string& letter) {
  const auto serial = Sys().system->VolumeSerial(letter + ":\\");
  return serial ? static_cast<int32_t>(*serial) : 0;
}

std::string GetSysDir() {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "GetSysDir"));
  trap(10, [&] { result = Sys().system->SystemDirectory(); });
  return result;
}

std::string GetWinDir() {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "GetWinDir"));
  trap(10, [&] { result = Sys().system->WindowsDirectory(); });
  return result;
}

std::string GetWinVersion() {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "GetWinVersion"));
  trap(10, [&] {
    VersionInfo.dwOSVersionInfoSize = sizeof(OsVersionInfo);  // 148
    // Blank, but still terminated: whoever reads it as text stops in time.
    std::memset(VersionInfo.szCSDVersion, ' ', sizeof VersionInfo.szCSDVersion - 1);
    VersionInfo.szCSDVersion[sizeof VersionInfo.szCSDVersion - 1] = '\0';
  });
  // A failing call leaves the record as it was; its answer is not needed.
  trap(20, [&] { Sys().system->VersionEx(VersionInfo); });
  trap(30, [&] { result = WindowsName(VersionInfo); });
  return result;
}

}  // namespace tavrel
