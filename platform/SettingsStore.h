// The per-user settings store: string values in the current user's hive,
//   HKEY_CURRENT_USER\Software\VRN Program Settings\<application>\<section>
// addressed by an application name (itself a key path such as
// "VRN\Tavrel\ADMIN"), a section and a value name. It lives on IRegistry,
// so the in-memory registry of the tests holds it just as the real one does.
#pragma once

#include <string>

namespace tavrel {

// The stored text, or `defaultValue` when the value is missing or cannot be
// read. Never an error: a missing value is how a first start looks.
std::string GetSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue);

// Stores `text` as REG_SZ, creating the keys on the way. Raises RuntimeError
// when the store refuses the write, and errInvalidCall for an empty name.
void SaveSetting(const std::string& application, const std::string& section,
                 const std::string& key, const std::string& text);

}  // namespace tavrel
