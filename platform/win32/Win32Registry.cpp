// The registry: string, number and binary values below the five roots, and
// the names of a key's sub-keys. Missing keys
// and values, and refused writes, are run-time errors the callers trap; the
// messages match the ones the scripting shell object gave for the same
// failures.
#include <cstring>
#include <vector>

#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {
namespace {

const char* const kCannotRead = "Unable to open registry key for reading";
const char* const kCannotWrite = "Registry write access denied";
const char* const kCannotRemove = "Unable to remove registry key";

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
    case RegRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return HKEY_CURRENT_USER;
}

// "Software\VRN\" names the same key as "Software\VRN"; the registry
// refuses the trailing backslash.
std::string KeyPath(const std::string& key) {
  std::string k = key;
  while (!k.empty() && k.back() == '\\') k.pop_back();
  return k;
}

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { if (h_) RegCloseKey(h_); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY get() const { return h_; }
  HKEY* out() { return &h_; }

 private:
  HKEY h_ = nullptr;
};

void Open(RegRoot root, const std::string& key, REGSAM access, RegKey& out, const char* failure) {
  if (RegOpenKeyExA(RootKey(root), KeyPath(key).c_str(), 0, access, out.out()) != ERROR_SUCCESS)
    Raise(errRegistryAccess, failure);
}

void Create(RegRoot root, const std::string& key, RegKey& out) {
  if (RegCreateKeyExA(RootKey(root), KeyPath(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, out.out(), nullptr) != ERROR_SUCCESS)
    Raise(errRegistryAccess, kCannotWrite);
}

void Set(HKEY key, const std::string& name, DWORD type, const void* data, DWORD size) {
  if (RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
    Raise(errRegistryAccess, kCannotWrite);
}

}  // namespace

namespace {

// A value's type and bytes, with room for a terminator the writer left out.
std::vector<BYTE> QueryValue(RegRoot root, const std::string& key, const std::string& name, DWORD& type,
                             DWORD& size) {
  RegKey k;
  Open(root, key, KEY_QUERY_VALUE, k, kCannotRead);
  size = 0;
  if (RegQueryValueExA(k.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    Raise(errRegistryAccess, kCannotRead);
  std::vector<BYTE> data(size + 2, 0);
  if (RegQueryValueExA(k.get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    Raise(errRegistryAccess, kCannotRead);
  return data;
}

}  // namespace

RegValue Win32Registry::Read(RegRoot root, const std::string& key, const std::string& name) {
  DWORD type = 0;
  DWORD size = 0;
  const std::vector<BYTE> data = QueryValue(root, key, name, type, size);

  RegValue value;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const char* text = reinterpret_cast<const char*>(data.data());
      value.type = RegValue::String;
      value.text.assign(text, strnlen(text, size));
      break;
    }
    case REG_DWORD:
      if (size != sizeof(DWORD)) Raise(errTypeMismatch);
      value.type = RegValue::Dword;
      value.number = *reinterpret_cast<const DWORD*>(data.data());
      break;
    default:
      Raise(errTypeMismatch);
  }
  return value;
}

std::string Win32Registry::ReadBinary(RegRoot root, const std::string& key, const std::string& name) {
  DWORD type = 0;
  DWORD size = 0;
  const std::vector<BYTE> data = QueryValue(root, key, name, type, size);
  if (type != REG_BINARY) Raise(errTypeMismatch);
  return std::string(reinterpret_cast<const char*>(data.data()), size);
}

void Win32Registry::WriteBinary(RegRoot root, const std::string& key, const std::string& name,
                                const std::string& bytes) {
  RegKey k;
  Create(root, key, k);
  Set(k.get(), name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::vector<std::string> Win32Registry::SubKeys(RegRoot root, const std::string& key) {
  RegKey k;
  Open(root, key, KEY_ENUMERATE_SUB_KEYS, k, kCannotRead);
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    // A key's name has at most 255 characters.
    char name[256];
    DWORD length = sizeof name;
    const LONG result = RegEnumKeyExA(k.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) Raise(errRegistryAccess, kCannotRead);
    names.emplace_back(name, length);
  }
  return names;
}

void Win32Registry::WriteString(RegRoot root, const std::string& key, const std::string& name,
                                const std::string& text) {
  RegKey k;
  Create(root, key, k);
  Set(k.get(), name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void Win32Registry::WriteDword(RegRoot root, const std::string& key, const std::string& name,
                               uint32_t number) {
  RegKey k;
  Create(root, key, k);
  const DWORD data = number;
  Set(k.get(), name, REG_DWORD, &data, sizeof data);
}

void Win32Registry::DeleteValue(RegRoot root, const std::string& key, const std::string& name) {
  RegKey k;
  Open(root, key, KEY_SET_VALUE, k, kCannotRemove);
  if (RegDeleteValueA(k.get(), name.c_str()) != ERROR_SUCCESS) Raise(errRegistryAccess, kCannotRemove);
}

void Win32Registry::DeleteKey(RegRoot root, const std::string& key) {
  const std::string path = KeyPath(key);
  // An empty path would name the root itself.
  if (path.empty()) Raise(errRegistryAccess, kCannotRemove);
  {
    // Windows 9x would delete a whole tree here; a key with sub-keys is
    // refused everywhere so that no setting disappears by accident.
    RegKey k;
    Open(root, path, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, k, kCannotRemove);
    DWORD subKeys = 0;
    if (RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subKeys != 0)
      Raise(errRegistryAccess, kCannotRemove);
  }
  if (RegDeleteKeyA(RootKey(root), path.c_str()) != ERROR_SUCCESS) Raise(errRegistryAccess, kCannotRemove);
}

}  // namespace tavrel
