// Registry operations on full key paths ("HKEY_LOCAL_MACHINE\Software\...\Value";
// a trailing backslash names a key's default value). Errors are logged
// without a message box.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace tavrel {

// A value as read or written: empty, text or a number.
struct RegVariant {
  enum Type { Empty, Text, Number, Boolean } type = Empty;
  std::string text;
  int64_t number = 0;

  static RegVariant Of(const std::string& s) { return {Text, s, 0}; }
  static RegVariant Of(const char* s) { return {Text, s, 0}; }
  static RegVariant Of(int64_t n) { return {Number, {}, n}; }
  static RegVariant OfBool(bool b) { return {Boolean, {}, b ? -1 : 0}; }
  bool IsEmpty() const { return type == Empty; }
  bool IsTrue() const { return type == Boolean && number != 0; }
  std::string AsText() const;
};

void CreateKey(const std::string& path, const std::string& value);
void CreateNumericKey(const std::string& path, int64_t value);
std::string ReadKey(const std::string& path);
RegVariant ReadKeyV(const std::string& path);
void DeleteKey(const std::string& path);
// Trims the caller's path in place. Boolean True / False; Empty when the
// test itself could not run (callers take that as False).
RegVariant RegKeyExists(std::string& path);
void SaveMachineSetting(const std::string& application, const std::string& section,
                        const std::string& key, const RegVariant& value);
RegVariant GetMachineSetting(const std::string& application, const std::string& section,
                             const std::string& key, const RegVariant& defaultValue);

}  // namespace tavrel
