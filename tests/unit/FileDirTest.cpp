// The path and file helpers against the in-memory file tree, on a drive and
// on a UNC share alike: what lands on disk, which folders appear, and the
// answers the error log and the language loader build on.
#include <algorithm>

#include "support/VRN_File_Dir.h"
#include "tests/unit/TestPlatform.h"

namespace tavrel {
namespace {

const char* const kLog = "C:\\Program Files\\VRN\\Common\\error.log";

class FileDirTest : public ProgramTest, public ::testing::WithParamInterface<std::string> {
 protected:
  FileDirTest() { sys.files.AddDrive(Root()); }
  // "C:" or "\\srv\share": every path below is built on it.
  std::string Root() const { return GetParam(); }
  std::string At(const std::string& rest) const { return Root() + "\\" + rest; }
  bool HasFolder(const std::string& path) { return sys.files.FolderExists(path); }
};

INSTANTIATE_TEST_SUITE_P(DriveAndShare, FileDirTest,
                         ::testing::Values(std::string("C:"), std::string("\\\\srv\\share")),
                         [](const auto& info) { return info.param == "C:" ? "Drive" : "Share"; });

TEST_P(FileDirTest, FileExistsCountsEveryKindOfFileButNoFolder) {
  sys.files.AddFile(At("d\\plain.txt"), "x");
  sys.files.AddFile(At("d\\ro.txt"), "x", attrReadOnly);
  sys.files.AddFile(At("d\\hidden.txt"), "x", attrHidden);
  sys.files.AddFile(At("d\\system.txt"), "x", attrSystem | attrHidden);
  sys.files.AddFolder(At("d\\sub"));
  for (const char* name : {"plain.txt", "ro.txt", "hidden.txt", "system.txt", "PLAIN.TXT"}) {
    std::string path = At(std::string("d\\") + name);
    EXPECT_TRUE(FileExists(path)) << path;
  }
  for (const std::string& p : {At("d\\sub"), At("d\\sub\\"), At("d\\"), At("d\\none.txt"),
                               At("nowhere\\plain.txt"), std::string(), std::string("   ")}) {
    std::string path = p;
    EXPECT_FALSE(FileExists(path)) << "'" << p << "'";
  }
}

TEST_P(FileDirTest, FileExistsTrimsTheCallersPathAndAcceptsWildcards) {
  sys.files.AddFile(At("lang\\english.lng"), "");
  std::string padded = "  " + At("lang\\english.lng") + "   ";
  EXPECT_TRUE(FileExists(padded));
  EXPECT_EQ(At("lang\\english.lng"), padded);

  std::string star = At("lang\\*.lng");
  std::string question = At("lang\\englis?.lng");
  std::string none = At("lang\\*.txt");
  EXPECT_TRUE(FileExists(star));
  EXPECT_TRUE(FileExists(question));
  EXPECT_FALSE(FileExists(none));
  // A name the file system cannot hold is simply not there.
  std::string bad = At("lang\\a|b.lng");
  EXPECT_FALSE(FileExists(bad));
}

TEST_P(FileDirTest, CreateDirectoryStructMakesEveryMissingLevel) {
  CreateDirectoryStruct(At("a\\b"));  // no trailing backslash
  EXPECT_TRUE(HasFolder(At("a")));
  EXPECT_TRUE(HasFolder(At("a\\b")));

  sys.files.AddFolder(At("x\\y"));
  CreateDirectoryStruct(At("x\\y\\z\\w\\"));
  EXPECT_TRUE(HasFolder(At("x\\y\\z\\w")));

  // A doubled backslash and ".." are walked through, not created.
  CreateDirectoryStruct(At("p\\\\q\\..\\r\\"));
  EXPECT_TRUE(HasFolder(At("p\\q")));
  EXPECT_TRUE(HasFolder(At("p\\r")));
}

TEST_P(FileDirTest, CreateDirectoryStructOfTheRootCreatesNothing) {
  const auto before = sys.files.FolderList();
  CreateDirectoryStruct(Root());
  CreateDirectoryStruct(Root() + "\\");
  EXPECT_EQ(before, sys.files.FolderList());
}

TEST_P(FileDirTest, CreateDirectoryStructStopsAtAFileInTheWayAndKeepsWhatItMade) {
  sys.files.AddFile(At("a\\b"), "a file, not a folder");
  CreateDirectoryStruct(At("a\\b\\c\\"));
  EXPECT_TRUE(HasFolder(At("a")));
  EXPECT_FALSE(HasFolder(At("a\\b\\c")));
  EXPECT_EQ("a file, not a folder", sys.files.FileContent(At("a\\b")).value());
  const std::string log = sys.files.FileContent(kLog).value_or("");
  EXPECT_NE(std::string::npos, log.find("  CreateDirectoryStruct of Modul VRN_File_Dir  50  75  "));
  EXPECT_NE(std::string::npos, log.find("\r\n" + At("a\\b\\c\\") + "\r\n\r\n"));
}

TEST_P(FileDirTest, WriteFileWIntoAReadOnlyFileKeepsItAndReports) {
  sys.files.AddFile(At("w\\ro.txt"), "precious\r\n", attrReadOnly);
  sys.windows.doEvents = 0;
  WriteFileW(At("w\\ro.txt"), "lost", true);
  WriteFileW(At("w\\ro.txt"), "lost", false);
  EXPECT_EQ("precious\r\n", sys.files.FileContent(At("w\\ro.txt")).value());
  const std::string log = sys.files.FileContent(kLog).value_or("");
  EXPECT_NE(std::string::npos, log.find("  WriteFileW of Modul VRN_File_Dir  20  70  Permission denied\r\n"));
  EXPECT_GE(sys.windows.doEvents, 2);
}

TEST_P(FileDirTest, WriteFileWReplacesOrAppendsOneLine) {
  const std::string path = At("out\\deep\\f.txt");
  WriteFileW(path, "first", true);  // file and folders created by the append
  EXPECT_EQ("first\r\n", sys.files.FileContent(path).value());
  WriteFileW(path, "second", true);
  EXPECT_EQ("first\r\nsecond\r\n", sys.files.FileContent(path).value());
  WriteFileW(path, "only", false);
  EXPECT_EQ("only\r\n", sys.files.FileContent(path).value());
  WriteFileW(path, "", true);
  EXPECT_EQ("only\r\n\r\n", sys.files.FileContent(path).value());
}

TEST_P(FileDirTest, ReadFileWGivesTheBytesOrNothing) {
  sys.files.AddFile(At("r\\empty.txt"), "");
  sys.files.AddFile(At("r\\bin.dat"), std::string("a\0b\r\x1A\xFF", 6));
  sys.files.AddFolder(At("r\\sub"));
  EXPECT_EQ("", ReadFileW(At("r\\empty.txt")));
  EXPECT_EQ(std::string("a\0b\r\x1A\xFF", 6), ReadFileW(At("r\\bin.dat")));
  EXPECT_EQ("", ReadFileW(At("r\\missing.txt")));
  EXPECT_EQ("", ReadFileW(At("r\\sub")));
  EXPECT_EQ("", ReadFileW(At("r\\*.dat")));
}

TEST_P(FileDirTest, PathTextsKeepTheirRootIntact) {
  EXPECT_EQ(Root() + "\\a", sParsePath(At("a\\b.txt")));
  EXPECT_EQ(Root(), sParsePath(At("b.txt")));
  EXPECT_EQ(Root() + "\\", sFixDirString(Root()));
  EXPECT_EQ(At("a\\"), sFixDirString(At("a\\")));
}

// ---------------------------------------------------------------------------

using FileDirEdges = ProgramTest;

TEST_F(FileDirEdges, ShortAndBarePathTexts) {
  EXPECT_EQ("C:\\", sParsePath("C:"));
  EXPECT_EQ("abc\\", sParsePath("abc"));
  EXPECT_EQ("\\", sParsePath(""));
  EXPECT_EQ("", sParsePath("name.txt"));
  EXPECT_EQ("\\", sFixDirString(""));
}

TEST_F(FileDirEdges, UncServerAndShareAreNeverCreated) {
  // The share does not exist: nothing can be made below it.
  CreateDirectoryStruct("\\\\srv\\gone\\a\\");
  CreateDirectoryStruct("\\\\srv\\");
  CreateDirectoryStruct("\\\\");
  for (const auto& folder : sys.files.FolderList()) EXPECT_NE(0u, folder.rfind("\\\\", 0)) << folder;
  // The one folder that could be tried failed; the log says where.
  const std::string log = sys.files.FileContent(kLog).value_or("");
  EXPECT_NE(std::string::npos, log.find("CreateDirectoryStruct of Modul VRN_File_Dir  50  76"));
  EXPECT_NE(std::string::npos, log.find("\\\\srv\\gone\\a\\\r\n"));
}

TEST_F(FileDirEdges, RelativePathsAreCreatedBelowTheCurrentFolder) {
  sys.files.AddFolder("C:\\work");
  sys.files.currentFolder = "C:\\work";
  CreateDirectoryStruct("a\\b");
  EXPECT_TRUE(sys.files.FolderExists("C:\\work\\a\\b"));
  CreateDirectoryStruct("\\top\\x\\");
  EXPECT_TRUE(sys.files.FolderExists("C:\\top\\x"));
  // A bare name is a file in the current folder, not a folder to make.
  WriteFileW("abc", "line", false);
  EXPECT_EQ("line\r\n", sys.files.FileContent("C:\\work\\abc").value());
  WriteFileW("logs\\run.txt", "line", true);
  EXPECT_EQ("line\r\n", sys.files.FileContent("C:\\work\\logs\\run.txt").value());
}

TEST_F(FileDirEdges, FolderTestsAndWritesLetEventsRunOnce) {
  int ticks = 0;
  sys.windows.onDoEvents = [&] { ++ticks; };
  DirExists("C:\\");
  EXPECT_EQ(1, ticks);
  sys.files.AddFolder("C:\\ready");
  ticks = 0;
  WriteFileW("C:\\ready\\f.txt", "x", false);  // one folder test, one after the write
  EXPECT_EQ(2, ticks);
}

}  // namespace
}  // namespace tavrel
