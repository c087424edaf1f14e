// Loading the language file: which lines become which texts, what counts as
// a corrupt file, what the user and the log are told, and that no byte
// sequence can bring the loader down. Also checks the English file we ship.
#include <fstream>
#include <sstream>

#include "support/VRN_Language.h"
#include "tests/unit/TestPlatform.h"

namespace tavrel {
namespace {

const char* const kLanguageFolder = "C:\\Program Files\\VRN\\Common\\language\\";
const char* const kLog = "C:\\Program Files\\VRN\\Common\\error.log";

class LanguageTest : public ProgramTest {
 protected:
  void Ship(const std::string& bytes, const std::string& name = "english.lng") {
    sys.files.AddFile(kLanguageFolder + name, bytes);
  }
  std::string Log() const { return sys.files.FileContent(kLog).value_or(""); }
  int Defined() const {
    int n = 0;
    for (const auto& text : LanguageTexts) n += !text.empty();
    return n;
  }
  void ExpectToldMissingOrCorrupt(const std::string& fileName) {
    ASSERT_EQ(1u, sys.windows.boxes.size());
    EXPECT_EQ("The language file " + fileName +
                  " is missing or corrupted!\r\nPlease install the the program again.\r\n"
                  "The program will be terminated now.",
              sys.windows.boxes[0].text);
    EXPECT_EQ("Tavrel", sys.windows.boxes[0].title);
    EXPECT_EQ(4096, sys.windows.boxes[0].style);
    EXPECT_NE(std::string::npos, Log().find("No language file\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
  }
};

TEST_F(LanguageTest, CommentsAndBlankLinesOnlyReadFine) {
  Ship("; comment\r\n\r\n   \r\nthis is text\r\nt0001\tlower case t\r\n");
  sys.windows.doEvents = 0;
  EXPECT_TRUE(set_language("english.lng"));
  EXPECT_EQ(0, Defined());
  EXPECT_TRUE(sys.windows.boxes.empty());
  EXPECT_FALSE(sys.files.FileContent(kLog));
  EXPECT_EQ(1, sys.windows.doEvents);
}

TEST_F(LanguageTest, EntryRules) {
  Ship(
      "T0000\tzero\r\n"
      "T0400\tlast\r\n"
      "   T0052\t  text with  inner  spaces   \r\n"
      "\tT0002\tindented with a tab\r\n"
      "T0005\t\r\n"
      "T0006\t     \r\n"
      "T0007 no tab at all\r\n"
      "T0008\ta\tb\t\r\n"
      "T   9\tblank-padded number\r\n"
      "T0010xyz\tanything before the tab\r\n"
      "T0011\tfirst\r\n"
      "T0011\tsecond\r\n"
      "T0012\tlone LF\nT0013\tlone CR\rT0014\tCR CR LF\r\r\n"
      "T0015\tno line end");
  EXPECT_TRUE(set_language("english.lng"));
  EXPECT_EQ("zero", LanguageTexts[0]);
  EXPECT_EQ("last", LanguageTexts[400]);
  EXPECT_EQ("text with  inner  spaces", LanguageTexts[52]);
  EXPECT_EQ("", LanguageTexts[2]);
  EXPECT_EQ("", LanguageTexts[5]);
  EXPECT_EQ("", LanguageTexts[6]);
  EXPECT_EQ("", LanguageTexts[7]);
  EXPECT_EQ("a\tb\t", LanguageTexts[8]);
  EXPECT_EQ("blank-padded number", LanguageTexts[9]);
  EXPECT_EQ("anything before the tab", LanguageTexts[10]);
  EXPECT_EQ("second", LanguageTexts[11]);
  EXPECT_EQ("lone LF", LanguageTexts[12]);
  EXPECT_EQ("lone CR", LanguageTexts[13]);
  EXPECT_EQ("CR CR LF", LanguageTexts[14]);
  EXPECT_EQ("no line end", LanguageTexts[15]);
  EXPECT_EQ(11, Defined());
}

TEST_F(LanguageTest, NumberOutsideTheTableMakesTheFileCorrupt) {
  Ship("T0023\tkept\r\nT0401\ttoo far\r\nT0024\tnever read\r\n");
  EXPECT_FALSE(set_language("english.lng"));
  EXPECT_EQ("kept", LanguageTexts[23]);
  EXPECT_EQ("", LanguageTexts[24]);
  EXPECT_NE(std::string::npos, Log().find("  vrn Tavrel XP : 230 v.3.10.1  set_language of Modul VRN_Language  50  9  "));
  EXPECT_TRUE(ErrorFlagged());
  ExpectToldMissingOrCorrupt("english.lng");
}

TEST_F(LanguageTest, FieldsThatAreNoNumberMakeTheFileCorrupt) {
  for (const char* line : {"T12\tshort number", "T-001\tnegative", "T\tnothing", "T    \tblank",
                           "T00x1\tletter", "T1.5 \tfraction"}) {
    sys.windows.boxes.clear();
    Ship(std::string(line) + "\r\n", "bad.lng");
    EXPECT_FALSE(set_language("bad.lng")) << line;
    ExpectToldMissingOrCorrupt("bad.lng");
  }
}

TEST_F(LanguageTest, MissingFileIsToldAndLoggedQuietly) {
  EXPECT_FALSE(set_language("klingon.lng"));
  ExpectToldMissingOrCorrupt("klingon.lng");
  // Only the details line: a missing file is no run-time error.
  EXPECT_EQ("No language file\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n", Log());
  EXPECT_FALSE(ErrorFlagged());
}

TEST_F(LanguageTest, EmptyLanguageSettingLooksForDotLng) {
  Ship("T0001\tx\r\n");
  EXPECT_FALSE(set_language(".lng"));
  ExpectToldMissingOrCorrupt(".lng");
}

TEST_F(LanguageTest, AFolderOfTheFilesNameIsNoFile) {
  sys.files.AddFolder(std::string(kLanguageFolder) + "english.lng");
  EXPECT_FALSE(set_language("english.lng"));
  ExpectToldMissingOrCorrupt("english.lng");
}

TEST_F(LanguageTest, AnyBytesAreReadWithoutHarm) {
  std::string binary;
  binary.reserve(4096);
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 7) & 0xFF);
  const std::string hugeLine = "T0042\t" + std::string(1 << 20, 'x');
  const std::string nuls("T0001\t\0\0a\0\r\n\0\0\0T0002\tz", 22);
  const std::string noEnds(70000, 'T');
  for (const std::string& bytes : {binary, hugeLine, nuls, noEnds}) {
    Ship(bytes);
    set_language("english.lng");  // either result; nothing else matters here
  }
  EXPECT_EQ(std::string(1 << 20, 'x'), LanguageTexts[42]);
  EXPECT_EQ(std::string("\0\0a\0", 4), LanguageTexts[1]);
}

TEST_F(LanguageTest, ShippedEnglishFileHasTheSpeechHint) {
  std::ifstream in(TAVREL_SOURCE_DIR "/install/Common/language/english.lng", std::ios::binary);
  ASSERT_TRUE(in);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string file = bytes.str();
  // Windows line ends throughout.
  for (std::size_t i = 0; i < file.size(); ++i)
    if (file[i] == '\n') {
      EXPECT_TRUE(i > 0 && file[i - 1] == '\r') << "bare LF at " << i;
    }
  ASSERT_EQ("\r\n", file.substr(file.size() - 2));

  Ship(file);
  EXPECT_TRUE(set_language("english.lng"));
  for (int n : {23, 52, 53, 54, 55, 56, 57}) EXPECT_FALSE(LanguageTexts[n].empty()) << n;
  EXPECT_EQ(7, Defined());
}

}  // namespace
}  // namespace tavrel
