// The language file: numbered texts in Common\language\<name>.lng.
#pragma once

#include <string>

namespace tavrel {

// Reads the file into LanguageTexts; false (after telling the user) when it
// is missing or corrupt.
bool set_language(const std::string& fileName);

}  // namespace tavrel
