// Registry operations on full key paths. A path is the root's name (written
// out, or the short HKLM / HKCU / HKCR), the sub-keys and the value name,
// separated by backslashes; a trailing backslash names the key's default
// value. Reading a value that was never written is how callers find out it
// is missing, so errors here go to the log without ever showing a box.
#include "support/VRN_Registry.h"

#include <limits>

#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Text.h"
#include "support/VRN_ErrorLog.h"

namespace tavrel {
namespace {

const char* const kModule = "VRN_Registry";

struct RegPath {
  RegRoot root = RegRoot::LocalMachine;
  std::string key;   // below the root, without trailing backslash
  std::string name;  // "" for the key's default value
};

bool RootOf(const std::string& text, RegRoot& root) {
  static const struct {
    const char* name;
    RegRoot root;
  } kRoots[] = {
      {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine}, {"HKLM", RegRoot::LocalMachine},
      {"HKEY_CURRENT_USER", RegRoot::CurrentUser},   {"HKCU", RegRoot::CurrentUser},
      {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},   {"HKCR", RegRoot::ClassesRoot},
      {"HKEY_USERS", RegRoot::Users},                {"HKEY_CURRENT_CONFIG", RegRoot::CurrentConfig},
  };
  const std::string upper = UCase(text);
  for (const auto& r : kRoots)
    if (upper == r.name) {
      root = r.root;
      return true;
    }
  return false;
}

// Splits a full path; a path the registry could only misread raises.
RegPath Parse(const std::string& path) {
  RegPath p;
  const auto rootEnd = path.find('\\');
  if (rootEnd == std::string::npos || !RootOf(path.substr(0, rootEnd), p.root))
    Raise(errRegistryAccess, "Invalid root in registry key \"" + path + "\".");
  const std::string rest = path.substr(rootEnd + 1);
  // An empty key name (a doubled backslash) would silently address some other key than
  // the one meant.
  if (rest.find("\\\\") != std::string::npos || (!rest.empty() && rest.front() == '\\'))
    Raise(errInvalidCall, "Invalid registry key \"" + path + "\".");
  const auto last = rest.rfind('\\');
  if (last != std::string::npos) {
    p.key = rest.substr(0, last);
    p.name = rest.substr(last + 1);
  } else {
    p.name = rest;
  }
  return p;
}

RegVariant VariantOf(const RegValue& value) {
  if (value.type == RegValue::Dword) return RegVariant::Of(static_cast<int64_t>(static_cast<int32_t>(value.number)));
  return RegVariant::Of(value.text);
}

}  // namespace

std::string RegVariant::AsText() const {
  switch (type) {
    case Text: return text;
    case Number: return CStr(number);
    case Boolean: return number ? "True" : "False";
    case Empty: break;
  }
  return std::string();
}

void CreateKey(const std::string& path, const std::string& value) {
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "CreateKey"), false);
  trap.afterReport = [&] { LogErrorDetails(path, value); };
  trap(20, [&] {
    const RegPath p = Parse(path);
    Sys().registry->WriteString(p.root, p.key, p.name, value);
  });
}

void CreateNumericKey(const std::string& path, int64_t value) {
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "CreateNumericKey"), false);
  trap.afterReport = [&] { LogErrorDetails(path, CStr(value)); };
  trap(20, [&] {
    const RegPath p = Parse(path);
    // A 32-bit number, read back signed: anything wider would come back as
    // some other number.
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
      Raise(errOverflow);
    Sys().registry->WriteDword(p.root, p.key, p.name, static_cast<uint32_t>(static_cast<int32_t>(value)));
  });
}

std::string ReadKey(const std::string& path) {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "ReadKey"), false);
  trap.afterReport = [&] { LogErrorDetails(path); };
  trap(20, [&] {
    const RegPath p = Parse(path);
    result = VariantOf(Sys().registry->Read(p.root, p.key, p.name)).AsText();
  });
  return result;
}

RegVariant ReadKeyV(const std::string& path) {
  RegVariant result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "ReadKeyV"), false);
  trap.afterReport = [&] { LogErrorDetails(path); };
  trap(20, [&] {
    const RegPath p = Parse(path);
    result = VariantOf(Sys().registry->Read(p.root, p.key, p.name));
  });
  return result;
}

void DeleteKey(const std::string& path) {
  std::string target = path;
  if (!RegKeyExists(target).IsTrue()) return;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "DeleteKey"), false);
  trap.afterReport = [&] { LogErrorDetails(target); };
  trap(20, [&] {
    const RegPath p = Parse(target);
    if (!target.empty() && target.back() == '\\') Sys().registry->DeleteKey(p.root, p.key);
    else Sys().registry->DeleteValue(p.root, p.key, p.name);
  });
}

RegVariant RegKeyExists(std::string& path) {
  RegVariant result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "RegKeyExists"));
  if (!trap(20, [&] {
        result = RegVariant::OfBool(true);
        path = Trim(path);
      })) {
    LetEventsRun();
    return RegVariant();
  }
  // A value that cannot be read is the ordinary "no": never reported.
  const bool readable = ErrorTrap::Quietly([&] {
    const RegPath p = Parse(path);
    Sys().registry->Read(p.root, p.key, p.name);
  });
  if (!readable) result = RegVariant::OfBool(false);
  LetEventsRun();
  return result;
}

namespace {
std::string MachinePath(const std::string& application, const std::string& section,
                        const std::string& key) {
  return "HKEY_LOCAL_MACHINE\\Software\\" + application + "\\" + section + "\\" + key;
}
}  // namespace

void SaveMachineSetting(const std::string& application, const std::string& section,
                        const std::string& key, const RegVariant& value) {
  const std::string path = MachinePath(application, section, key);
  if (value.type == RegVariant::Text) CreateKey(path, value.text);
  else CreateNumericKey(path, value.number);
}

RegVariant GetMachineSetting(const std::string& application, const std::string& section,
                             const std::string& key, const RegVariant& defaultValue) {
  std::string path = MachinePath(application, section, key);
  if (RegKeyExists(path).IsTrue()) return ReadKeyV(path);
  return defaultValue;
}

}  // namespace tavrel
