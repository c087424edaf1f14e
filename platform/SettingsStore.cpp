#include "platform/SettingsStore.h"

#include "platform/Platform.h"

namespace tavrel {
namespace {

const char* const kSettingsRoot = "Software\\VRN Program Settings\\";

// A name with an empty component would land in another key than the one
// meant (or in the settings root itself).
bool Usable(const std::string& name) {
  return !name.empty() && name.front() != '\\' && name.back() != '\\' &&
         name.find("\\\\") == std::string::npos;
}

}  // namespace

std::string GetSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
  if (!Usable(application) || !Usable(section) || key.empty()) return defaultValue;
  try {
    const RegValue value =
        Sys().registry->Read(RegRoot::CurrentUser, kSettingsRoot + application + "\\" + section, key);
    return value.type == RegValue::Dword ? std::to_string(value.number) : value.text;
  } catch (const RuntimeError&) {
    return defaultValue;
  }
}

void SaveSetting(const std::string& application, const std::string& section,
                 const std::string& key, const std::string& text) {
  if (!Usable(application) || !Usable(section) || key.empty()) Raise(errInvalidCall);
  Sys().registry->WriteString(RegRoot::CurrentUser, kSettingsRoot + application + "\\" + section, key,
                              text);
}

}  // namespace tavrel
