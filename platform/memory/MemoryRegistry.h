// The in-memory registry: a tree of keys and values, names compared without
// regard to case, whose roots a test can make refuse every write.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace tavrel {

class MemoryRegistry : public IRegistry {
 public:
  RegValue Read(RegRoot root, const std::string& key, const std::string& name) override;
  void WriteString(RegRoot root, const std::string& key, const std::string& name,
                   const std::string& text) override;
  void WriteDword(RegRoot root, const std::string& key, const std::string& name,
                  uint32_t number) override;
  std::string ReadBinary(RegRoot root, const std::string& key, const std::string& name) override;
  void WriteBinary(RegRoot root, const std::string& key, const std::string& name,
                   const std::string& bytes) override;
  std::vector<std::string> SubKeys(RegRoot root, const std::string& key) override;
  void DeleteValue(RegRoot root, const std::string& key, const std::string& name) override;
  void DeleteKey(RegRoot root, const std::string& key) override;

  // For tests.
  std::optional<RegValue> Value(RegRoot root, const std::string& key, const std::string& name) const;
  bool KeyExists(RegRoot root, const std::string& key) const;
  // Writes below this root are refused (no administrative rights).
  std::vector<RegRoot> readOnlyRoots;

 private:
  struct Key {
    std::string name;  // the last part of its path, as first written
    std::map<std::string, std::pair<std::string, RegValue>> values;  // upper name -> (name, value)
  };
  static std::string KeyId(RegRoot root, const std::string& key);
  void CheckWritable(RegRoot root) const;
  void Write(RegRoot root, const std::string& key, const std::string& name, const RegValue& value);
  const RegValue& Find(RegRoot root, const std::string& key, const std::string& name) const;
  std::map<std::string, Key> keys_;  // "ROOT\UPPER\PATH" -> key
};

}  // namespace tavrel
