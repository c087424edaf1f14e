#include "platform/memory/MemoryRegistry.h"

#include "support/Text.h"

namespace tavrel {

// ---------------------------------------------------------------------------
// Registry: keys and value names compared without regard to case.

std::string MemoryRegistry::KeyId(RegRoot root, const std::string& key) {
  std::string id = std::to_string(static_cast<int>(root));
  std::string k = UCase(key);
  while (!k.empty() && k.back() == '\\') k.pop_back();
  if (!k.empty()) id += "\\" + k;
  return id;
}

void MemoryRegistry::CheckWritable(RegRoot root) const {
  for (RegRoot r : readOnlyRoots)
    if (r == root) Raise(errRegistryAccess, "Registry write access denied");
}

const RegValue& MemoryRegistry::Find(RegRoot root, const std::string& key, const std::string& name) const {
  const auto k = keys_.find(KeyId(root, key));
  if (k == keys_.end()) Raise(errRegistryAccess, "Unable to open registry key for reading");
  const auto v = k->second.values.find(UCase(name));
  if (v == k->second.values.end()) Raise(errRegistryAccess, "Unable to open registry key for reading");
  return v->second.second;
}

RegValue MemoryRegistry::Read(RegRoot root, const std::string& key, const std::string& name) {
  const RegValue& value = Find(root, key, name);
  if (value.type == RegValue::Binary) Raise(errTypeMismatch);
  return value;
}

std::string MemoryRegistry::ReadBinary(RegRoot root, const std::string& key, const std::string& name) {
  const RegValue& value = Find(root, key, name);
  if (value.type != RegValue::Binary) Raise(errTypeMismatch);
  return value.text;
}

std::vector<std::string> MemoryRegistry::SubKeys(RegRoot root, const std::string& key) {
  const std::string id = KeyId(root, key);
  if (keys_.find(id) == keys_.end()) Raise(errRegistryAccess, "Unable to open registry key for reading");
  std::vector<std::string> names;
  for (const auto& entry : keys_) {
    const std::string& other = entry.first;
    if (other.size() > id.size() + 1 && other.compare(0, id.size() + 1, id + "\\") == 0 &&
        other.find('\\', id.size() + 1) == std::string::npos)
      names.push_back(entry.second.name);
  }
  return names;
}

void MemoryRegistry::Write(RegRoot root, const std::string& key, const std::string& name,
                           const RegValue& value) {
  CheckWritable(root);
  // Creating a key creates its parents.
  std::string k = key;
  while (!k.empty() && k.back() == '\\') k.pop_back();
  for (std::size_t pos = 0;; ++pos) {
    pos = k.find('\\', pos);
    const std::string path = k.substr(0, pos);
    Key& created = keys_[KeyId(root, path)];
    if (created.name.empty()) created.name = path.substr(path.rfind('\\') + 1);
    if (pos == std::string::npos) break;
  }
  keys_[KeyId(root, k)].values[UCase(name)] = {name, value};
}

void MemoryRegistry::WriteString(RegRoot root, const std::string& key, const std::string& name,
                                 const std::string& text) {
  RegValue v;
  v.type = RegValue::String;
  v.text = text;
  Write(root, key, name, v);
}

void MemoryRegistry::WriteDword(RegRoot root, const std::string& key, const std::string& name,
                                uint32_t number) {
  RegValue v;
  v.type = RegValue::Dword;
  v.number = number;
  Write(root, key, name, v);
}

void MemoryRegistry::WriteBinary(RegRoot root, const std::string& key, const std::string& name,
                                 const std::string& bytes) {
  RegValue v;
  v.type = RegValue::Binary;
  v.text = bytes;
  Write(root, key, name, v);
}

void MemoryRegistry::DeleteValue(RegRoot root, const std::string& key, const std::string& name) {
  CheckWritable(root);
  auto k = keys_.find(KeyId(root, key));
  if (k == keys_.end() || k->second.values.erase(UCase(name)) == 0)
    Raise(errRegistryAccess, "Unable to remove registry key");
}

void MemoryRegistry::DeleteKey(RegRoot root, const std::string& key) {
  CheckWritable(root);
  const std::string id = KeyId(root, key);
  if (keys_.find(id) == keys_.end()) Raise(errRegistryAccess, "Unable to remove registry key");
  for (const auto& entry : keys_)
    if (entry.first.size() > id.size() && entry.first.compare(0, id.size() + 1, id + "\\") == 0)
      Raise(errRegistryAccess, "Unable to remove registry key");
  keys_.erase(id);
}

std::optional<RegValue> MemoryRegistry::Value(RegRoot root, const std::string& key,
                                              const std::string& name) const {
  const auto k = keys_.find(KeyId(root, key));
  if (k == keys_.end()) return std::nullopt;
  const auto v = k->second.values.find(UCase(name));
  if (v == k->second.values.end()) return std::nullopt;
  return v->second.second;
}

bool MemoryRegistry::KeyExists(RegRoot root, const std::string& key) const {
  return keys_.count(KeyId(root, key)) != 0;
}

}  // namespace tavrel
