// A file tree that follows Windows path rules: drive roots and UNC shares,
// backslashes (or slashes), paths relative to the current folder, "." and
// "..", names compared without regard to case, wildcards in the last
// component of a lookup, attributes that hide entries from a lookup and
// read-only entries that refuse writes.
#include <algorithm>
#include <cctype>

#include "platform/memory/MemoryPlatform.h"
#include "support/Text.h"

namespace tavrel {
namespace {

bool BadNameChar(char c) {
  return static_cast<unsigned char>(c) < 32 || c == '<' || c == '>' || c == '"' || c == '|';
}

// Case-insensitive match of a name against a pattern with * and ?.
bool WildMatch(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* n = name;; ++n) {
      if (WildMatch(pattern + 1, n)) return true;
      if (*n == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern == '?' || std::toupper(static_cast<unsigned char>(*pattern)) ==
                             std::toupper(static_cast<unsigned char>(*name)))
    return WildMatch(pattern + 1, name + 1);
  return false;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() { AddDrive("C:"); }

MemoryFileSystem::Parsed MemoryFileSystem::Parse(const std::string& raw) const {
  Parsed p;
  std::string path = Replace(raw, "/", "\\");
  if (path.empty()) return p;
  std::string rest;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    const auto serverEnd = path.find('\\', 2);
    if (serverEnd == std::string::npos || serverEnd == 2) return p;
    auto shareEnd = path.find('\\', serverEnd + 1);
    if (shareEnd == std::string::npos) shareEnd = path.size();
    if (shareEnd == serverEnd + 1) return p;
    p.root = UCase(path.substr(0, shareEnd));
    rest = path.substr(shareEnd);
  } else if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    p.root = UCase(path.substr(0, 2));
    rest = path.substr(2);
    if (rest.empty() || rest[0] != '\\') rest = "\\" + rest;
  } else {
    const Parsed base = Parse(currentFolder);
    if (!base.ok) return p;
    p.root = base.root;
    if (path[0] != '\\') p.parts = base.parts;
    rest = path;
  }
  std::size_t pos = 0;
  while (pos <= rest.size()) {
    auto end = rest.find('\\', pos);
    if (end == std::string::npos) end = rest.size();
    const std::string part = rest.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!p.parts.empty()) p.parts.pop_back();
      continue;
    }
    if (std::any_of(part.begin(), part.end(), BadNameChar) || part.find(':') != std::string::npos)
      return p;
    p.parts.push_back(part);
  }
  p.ok = true;
  return p;
}

std::string MemoryFileSystem::Id(const std::string& root, const std::vector<std::string>& parts,
                                 std::size_t count) {
  std::string id = root;
  for (std::size_t i = 0; i < count && i < parts.size(); ++i) id += "\\" + UCase(parts[i]);
  return id;
}

MemoryFileSystem::Entry* MemoryFileSystem::Find(const Parsed& p) {
  const auto it = entries_.find(Id(p.root, p.parts, p.parts.size()));
  return it == entries_.end() ? nullptr : &it->second;
}

const MemoryFileSystem::Entry* MemoryFileSystem::Find(const Parsed& p) const {
  const auto it = entries_.find(Id(p.root, p.parts, p.parts.size()));
  return it == entries_.end() ? nullptr : &it->second;
}

bool MemoryFileSystem::ParentIsFolder(const Parsed& p) const {
  if (std::find(roots_.begin(), roots_.end(), p.root) == roots_.end()) return false;
  if (p.parts.size() <= 1) return true;
  const auto it = entries_.find(Id(p.root, p.parts, p.parts.size() - 1));
  return it != entries_.end() && it->second.folder;
}

bool MemoryFileSystem::FolderExists(const std::string& path) {
  const Parsed p = Parse(path);
  if (!p.ok) return false;
  if (p.parts.empty()) return std::find(roots_.begin(), roots_.end(), p.root) != roots_.end();
  const Entry* e = Find(p);
  return e && e->folder;
}

void MemoryFileSystem::CreateFolder(const std::string& path) {
  const Parsed p = Parse(path);
  if (!p.ok || p.parts.empty()) Raise(errBadFileName);
  if (!ParentIsFolder(p)) Raise(errPathNotFound);
  if (Find(p)) Raise(errPathFileAccess, "File already exists");
  if (p.parts.size() > 1) {
    const auto parent = entries_.find(Id(p.root, p.parts, p.parts.size() - 1));
    if (parent->second.attributes & attrReadOnly) Raise(errPermissionDenied);
  }
  Entry e;
  e.name = p.parts.back();
  e.folder = true;
  entries_[Id(p.root, p.parts, p.parts.size())] = e;
}

bool MemoryFileSystem::MatchExists(const std::string& pattern, unsigned attributes) {
  const Parsed p = Parse(pattern);
  if (!p.ok) Raise(errBadFileName);
  if (p.parts.empty()) return false;
  const std::string dir = Id(p.root, p.parts, p.parts.size() - 1) + "\\";
  std::string wanted = p.parts.back();
  if (wanted == "*.*") wanted = "*";
  for (const auto& entry : entries_) {
    const std::string& id = entry.first;
    if (id.size() <= dir.size() || id.compare(0, dir.size(), dir) != 0) continue;
    if (id.find('\\', dir.size()) != std::string::npos) continue;
    const Entry& e = entry.second;
    if (e.folder && !(attributes & attrDirectory)) continue;
    if ((e.attributes & attrHidden) && !(attributes & attrHidden)) continue;
    if ((e.attributes & attrSystem) && !(attributes & attrSystem)) continue;
    if (WildMatch(wanted.c_str(), e.name.c_str())) return true;
  }
  return false;
}

std::string MemoryFileSystem::ReadAll(const std::string& path) {
  const Parsed p = Parse(path);
  if (!p.ok) Raise(errBadFileName);
  const Entry* e = Find(p);
  if (!e) Raise(errFileNotFound);
  if (e->folder) Raise(errPathFileAccess);
  return e->bytes;
}

void MemoryFileSystem::Write(const std::string& path, const std::string& bytes, bool append) {
  const Parsed p = Parse(path);
  if (!p.ok || p.parts.empty()) Raise(errBadFileName);
  if (!ParentIsFolder(p)) Raise(errPathNotFound);
  Entry* e = Find(p);
  if (e && e->folder) Raise(errPathFileAccess);
  if (e && (e->attributes & attrReadOnly)) Raise(errPermissionDenied);
  if (!e) {
    if (p.parts.size() > 1) {
      const auto parent = entries_.find(Id(p.root, p.parts, p.parts.size() - 1));
      if (parent->second.attributes & attrReadOnly) Raise(errPermissionDenied);
    }
    Entry fresh;
    fresh.name = p.parts.back();
    e = &entries_[Id(p.root, p.parts, p.parts.size())];
    *e = fresh;
  }
  if (append) e->bytes += bytes;
  else e->bytes = bytes;
  ++writes;
}

uint64_t MemoryFileSystem::Size(const std::string& path) {
  return ReadAll(path).size();
}

void MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  const Parsed source = Parse(from), target = Parse(to);
  if (!source.ok || !target.ok || target.parts.empty()) Raise(errBadFileName);
  Entry* e = Find(source);
  if (!e || e->folder) Raise(errFileNotFound);
  if (e->attributes & attrReadOnly) Raise(errPermissionDenied);
  if (!ParentIsFolder(target)) Raise(errPathNotFound);
  if (const Entry* old = Find(target)) {
    if (old->folder) Raise(errPathFileAccess);
    if (old->attributes & attrReadOnly) Raise(errPermissionDenied);
  }
  Entry moved = *e;
  moved.name = target.parts.back();
  entries_.erase(Id(source.root, source.parts, source.parts.size()));
  entries_[Id(target.root, target.parts, target.parts.size())] = moved;
  ++writes;
}

void MemoryFileSystem::AddDrive(const std::string& root) {
  const std::string r = UCase(root);
  if (std::find(roots_.begin(), roots_.end(), r) == roots_.end()) roots_.push_back(r);
}

void MemoryFileSystem::AddFolder(const std::string& path, unsigned attributes) {
  const Parsed p = Parse(path);
  if (!p.ok) return;
  AddDrive(p.root);
  for (std::size_t i = 1; i <= p.parts.size(); ++i) {
    Entry& e = entries_[Id(p.root, p.parts, i)];
    if (e.name.empty()) {
      e.name = p.parts[i - 1];
      e.folder = true;
    }
  }
  if (!p.parts.empty()) Find(p)->attributes = attributes;
}

void MemoryFileSystem::AddFile(const std::string& path, const std::string& bytes, unsigned attributes) {
  Parsed p = Parse(path);
  if (!p.ok || p.parts.empty()) return;
  std::string folder = p.root;
  for (std::size_t i = 0; i + 1 < p.parts.size(); ++i) folder += "\\" + p.parts[i];
  AddFolder(folder + "\\");
  Entry e;
  e.name = p.parts.back();
  e.bytes = bytes;
  e.attributes = attributes;
  entries_[Id(p.root, p.parts, p.parts.size())] = e;
}

void MemoryFileSystem::SetAttributes(const std::string& path, unsigned attributes) {
  const Parsed p = Parse(path);
  if (Entry* e = p.ok ? Find(p) : nullptr) e->attributes = attributes;
}

void MemoryFileSystem::Remove(const std::string& path) {
  const Parsed p = Parse(path);
  if (!p.ok) return;
  const std::string id = Id(p.root, p.parts, p.parts.size());
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->first == id || it->first.compare(0, id.size() + 1, id + "\\") == 0) it = entries_.erase(it);
    else ++it;
  }
}

std::optional<std::string> MemoryFileSystem::FileContent(const std::string& path) const {
  const Parsed p = Parse(path);
  const Entry* e = p.ok ? Find(p) : nullptr;
  if (!e || e->folder) return std::nullopt;
  return e->bytes;
}

std::vector<std::string> MemoryFileSystem::FolderList() const {
  std::vector<std::string> out;
  for (const auto& entry : entries_)
    if (entry.second.folder) out.push_back(entry.first);
  return out;
}

}  // namespace tavrel
