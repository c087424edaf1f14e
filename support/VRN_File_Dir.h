// Path and file helpers on Windows paths (drive, UNC, relative).
#pragma once

#include <string>

namespace tavrel {

bool DirExists(const std::string& path);
// Trims the caller's path in place; true when a file (normal, read-only,
// hidden or system; not a folder) matches it, wildcards allowed.
bool FileExists(std::string& path);
// Writes text + CR LF, appending or replacing; creates missing folders.
void WriteFileW(const std::string& path, const std::string& text, bool append);
// The whole file, "" when it cannot be read.
std::string ReadFileW(const std::string& path);
std::string sFixDirString(const std::string& path);
std::string sParsePath(const std::string& path);
void CreateDirectoryStruct(const std::string& path);

}  // namespace tavrel
