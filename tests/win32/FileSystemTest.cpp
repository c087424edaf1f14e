// The file service on real Windows paths in a scratch folder: folders,
// lookups with attribute masks, reading and writing, and the error numbers
// of each failure.
#include "Win32TestSupport.h"

namespace tavrel {
namespace {

class FileSystemTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  IFileSystem& fs = *Sys().files;
  ScratchFolder dir;

  void MakeFile(const std::string& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    fs.Write(dir / name, "x", false);
    SetFileAttributesA((dir / name).c_str(), attributes);
  }
};

TEST_F(FileSystemTest, FolderExistsOnlyForFolders) {
  EXPECT_TRUE(fs.FolderExists(dir.Path()));
  EXPECT_TRUE(fs.FolderExists(dir.Path() + "\\"));
  EXPECT_TRUE(fs.FolderExists("C:\\"));
  MakeFile("file.txt");
  EXPECT_FALSE(fs.FolderExists(dir / "file.txt"));
  EXPECT_FALSE(fs.FolderExists(dir / "missing"));
  EXPECT_FALSE(fs.FolderExists(""));
}

TEST_F(FileSystemTest, CreateFolderMakesOneLevel) {
  fs.CreateFolder(dir / "Common");
  EXPECT_TRUE(fs.FolderExists(dir / "Common"));
}

TEST_F(FileSystemTest, CreateFolderOfAMissingParentIsPathNotFound) {
  EXPECT_EQ(ErrorOf([&] { fs.CreateFolder(dir / "a\\b"); }), errPathNotFound);
  EXPECT_FALSE(fs.FolderExists(dir / "a"));
}

TEST_F(FileSystemTest, CreateFolderThatExistsIsPathFileAccess) {
  fs.CreateFolder(dir / "Common");
  EXPECT_EQ(ErrorOf([&] { fs.CreateFolder(dir / "Common"); }), errPathFileAccess);
}

TEST_F(FileSystemTest, WriteReplacesOrAppendsAndReadAllReturnsTheBytes) {
  const std::string file = dir / "error.log";
  fs.Write(file, "one\r\n", false);
  fs.Write(file, "two\r\n", true);
  EXPECT_EQ(fs.ReadAll(file), "one\r\ntwo\r\n");
  fs.Write(file, "three", false);
  EXPECT_EQ(fs.ReadAll(file), "three");
  fs.Write(file, "", false);
  EXPECT_EQ(fs.ReadAll(file), "");
}

TEST_F(FileSystemTest, BytesPassUnchanged) {
  const std::string bytes("a\0b\xff\r\n", 6);
  fs.Write(dir / "bin", bytes, false);
  EXPECT_EQ(fs.ReadAll(dir / "bin"), bytes);
}

TEST_F(FileSystemTest, AHiddenFileCanBeReplaced) {
  MakeFile("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  fs.Write(dir / "hidden.txt", "new", false);
  EXPECT_EQ(fs.ReadAll(dir / "hidden.txt"), "new");
}

TEST_F(FileSystemTest, ReadErrorsHaveTheirNumbers) {
  EXPECT_EQ(ErrorOf([&] { fs.ReadAll(dir / "missing.txt"); }), errFileNotFound);
  fs.CreateFolder(dir / "folder");
  EXPECT_EQ(ErrorOf([&] { fs.ReadAll(dir / "folder"); }), errPathFileAccess);
}

TEST_F(FileSystemTest, WriteErrorsHaveTheirNumbers) {
  EXPECT_EQ(ErrorOf([&] { fs.Write(dir / "missing\\x.txt", "x", true); }), errPathNotFound);
  // A file another program holds open without sharing. (A read-only file
  // would do on Windows, but Wine running as root writes it anyway.)
  MakeFile("locked.txt");
  HANDLE holder = CreateFileA((dir / "locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ErrorOf([&] { fs.Write(dir / "locked.txt", "x", true); }), errPermissionDenied);
  EXPECT_EQ(ErrorOf([&] { fs.ReadAll(dir / "locked.txt"); }), errPermissionDenied);
  CloseHandle(holder);
  EXPECT_EQ(fs.ReadAll(dir / "locked.txt"), "x");
  fs.CreateFolder(dir / "folder");
  EXPECT_EQ(ErrorOf([&] { fs.Write(dir / "folder", "x", false); }), errPathFileAccess);
}

TEST_F(FileSystemTest, NormalAndArchiveFilesAlwaysMatch) {
  MakeFile("plain.lng");
  MakeFile("archived.lng", FILE_ATTRIBUTE_ARCHIVE);
  MakeFile("readonly.lng", FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(fs.MatchExists(dir / "plain.lng", 0));
  EXPECT_TRUE(fs.MatchExists(dir / "archived.lng", 0));
  EXPECT_TRUE(fs.MatchExists(dir / "readonly.lng", 0));
  EXPECT_TRUE(fs.MatchExists(dir / "PLAIN.LNG", 0));
  EXPECT_FALSE(fs.MatchExists(dir / "other.lng", 7));
}

TEST_F(FileSystemTest, HiddenAndSystemFilesMatchOnlyWithTheirBits) {
  MakeFile("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  MakeFile("system.txt", FILE_ATTRIBUTE_SYSTEM);
  EXPECT_FALSE(fs.MatchExists(dir / "hidden.txt", 0));
  EXPECT_TRUE(fs.MatchExists(dir / "hidden.txt", attrHidden));
  EXPECT_FALSE(fs.MatchExists(dir / "system.txt", attrHidden));
  EXPECT_TRUE(fs.MatchExists(dir / "system.txt", attrSystem));
  EXPECT_TRUE(fs.MatchExists(dir / "*.txt", 7));
}

TEST_F(FileSystemTest, FoldersMatchOnlyWithTheDirectoryBit) {
  fs.CreateFolder(dir / "language");
  EXPECT_FALSE(fs.MatchExists(dir / "language", 7));
  EXPECT_TRUE(fs.MatchExists(dir / "language", attrDirectory));
}

TEST_F(FileSystemTest, DotEntriesAreNotMatches) {
  fs.CreateFolder(dir / "empty");
  EXPECT_FALSE(fs.MatchExists(dir / "empty\\*", attrDirectory | 7));
}

TEST_F(FileSystemTest, WildcardsMatchInTheLastComponent) {
  MakeFile("english.lng");
  EXPECT_TRUE(fs.MatchExists(dir / "*.lng", 0));
  EXPECT_TRUE(fs.MatchExists(dir / "eng?ish.lng", 0));
  EXPECT_FALSE(fs.MatchExists(dir / "*.txt", 0));
  EXPECT_FALSE(fs.MatchExists(dir / "nowhere\\*.lng", 7));
}

}  // namespace
}  // namespace tavrel
