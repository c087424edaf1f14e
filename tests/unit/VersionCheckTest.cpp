// The new-version check as a user meets it: the versions file served by the
// in-memory web, the messages it leads to, the page it opens, the local copy
// it leaves beside the program folder; the reader of that file on its own;
// and the address list read at start-up.
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "internet/VRN_Internet.h"
#include "internet/VersionsFile.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"

namespace tavrel {
namespace {

const char* const kFailure = "There was a problem connecting to the internet.\r\nPlease try it later again.";
const char* const kUpToDate = "You have installed the latest release of Tavrel.";
const char* const kVersionsUrl = "http://www.vrn.example/vrn/versions.txt";
const char* const kDownloadPage = "http://www.vrn.example/vrn/products/downloads_e.htm";
const char* const kLocalCopy = "C:\\Program Files\\VRN\\temp\\versions.txt";
const char* const kUrlList = "C:\\Program Files\\VRN\\common\\license\\UrlList.txt";

std::string Offer(const std::string& prefix, const std::string& version) {
  return prefix + version + ") of Tavrel is available for download.\r\nDo you want to download it now ?";
}

// Two other products first, this program's record third.
std::string VersionsPage(const std::string& ours) {
  return "100,1.2.3\r\n215,2.0.7\r\n230," + ours + "\r\n301,9.9.9\r\n";
}

class VersionCheckTest : public ProgramTest {
 protected:
  VersionCheckTest() { MainForm = &form; }
  ~VersionCheckTest() override { MainForm = nullptr; }

  void Serve(const std::string& page) {
    sys.http.handler = [page](const std::string& url) {
      if (url != kVersionsUrl) Raise(errFileNotFound);
      return page;
    };
  }
  std::string Log() const { return sys.files.FileContent(ErrorLogPath()).value_or(""); }
  const std::vector<MemoryWindowSystem::Box>& Boxes() const { return sys.windows.boxes; }

  // One check; the check is over when the pointer is back to normal.
  void Check() {
    form.ChkNewVersion();
    ASSERT_FALSE(sys.windows.screenPointers.empty());
    EXPECT_EQ(MousePointer::Hourglass, sys.windows.screenPointers.front());
    EXPECT_EQ(MousePointer::Default, sys.windows.screenPointers.back());
  }

  void ExpectOnlyConnectionFailure(const std::string& why) {
    ASSERT_EQ(1u, Boxes().size()) << why;
    EXPECT_EQ(kFailure, Boxes()[0].text) << why;
    EXPECT_EQ("Error", Boxes()[0].title) << why;
    EXPECT_EQ(vbOKOnly | vbCritical, Boxes()[0].style) << why;
    EXPECT_TRUE(sys.shell.executed.empty()) << why;
  }

  FrmMain form;
};

// ---------------------------------------------------------------------------
// Comparing versions

TEST_F(VersionCheckTest, PublishedVersionsAgainstTheInstalled31001) {
  struct Case {
    const char* published;
    std::string text;
    long style;
  } cases[] = {
      {"3.10.1", kUpToDate, vbOKOnly | vbInformation},
      {"2.99.99", kUpToDate, vbOKOnly | vbInformation},  // an older major never offers
      {"3.9.50", kUpToDate, vbOKOnly | vbInformation},
      {"3.10.12", Offer("A new revision (vers. ", "3.10.12"), vbYesNo | vbInformation},
      {"3.11.0", Offer("A new recommended release (vers. ", "3.11.0"), vbYesNo | vbInformation},
      {"4.0.0", Offer("A new major release (vers. ", "4.0.0"), vbYesNo | vbInformation},
  };
  for (const Case& c : cases) {
    sys.windows.boxes.clear();
    sys.windows.answers = {vbNo};
    Serve(VersionsPage(c.published));
    Check();
    ASSERT_EQ(1u, Boxes().size()) << c.published;
    EXPECT_EQ(c.text, Boxes()[0].text) << c.published;
    EXPECT_EQ("Info", Boxes()[0].title) << c.published;
    EXPECT_EQ(c.style, Boxes()[0].style) << c.published;
  }
  EXPECT_TRUE(sys.shell.executed.empty());
  EXPECT_EQ("", Log());
}

TEST_F(VersionCheckTest, YesOpensTheDownloadPageNoOpensNothing) {
  form.Load();
  Serve(VersionsPage("3.11.0"));
  sys.windows.answers = {vbNo};
  Check();
  EXPECT_TRUE(sys.shell.executed.empty());

  sys.windows.answers = {vbYes};
  Check();
  ASSERT_EQ(1u, sys.shell.executed.size());
  const MemoryShell::Call& call = sys.shell.executed[0];
  EXPECT_EQ(form.hwnd(), call.owner);
  EXPECT_EQ("open", call.verb);
  EXPECT_EQ(kDownloadPage, call.file);
  EXPECT_EQ("", call.parameters);
  EXPECT_EQ("", call.directory);
  EXPECT_EQ(5, call.show);
}

TEST_F(VersionCheckTest, QuotedFieldsAndBlanksBeforeAFieldAreRead) {
  Serve("\"100\", \"1.0.0\"\r\n   \"230\" ,\t \"3.11.0\"\r\n");
  sys.windows.answers = {vbNo};
  Check();
  ASSERT_EQ(1u, Boxes().size());
  EXPECT_EQ(Offer("A new recommended release (vers. ", "3.11.0"), Boxes()[0].text);

  // Commas and line ends may mix; the first record of the program counts.
  sys.windows.boxes.clear();
  Serve("100,1.0.0,230\n4.0.0\n230,9.9.9\n");
  Check();
  ASSERT_EQ(1u, Boxes().size());
  EXPECT_EQ(Offer("A new major release (vers. ", "4.0.0"), Boxes()[0].text);
}

// ---------------------------------------------------------------------------
// Pages that lead to the connection-failure message and nothing else

TEST_F(VersionCheckTest, PagesWithoutAUsableRecordEndInTheConnectionFailure) {
  struct Case {
    const char* why;
    std::string page;
    bool reported;  // a run-time error of the check goes to the error log
  } cases[] = {
      {"no record for 230", "100,1.2.3\r\n215,2.0.7\r\n", false},
      {"empty page", "", false},
      {"version without a second dot", VersionsPage("3.10"), true},
      {"version without any dot", VersionsPage("310"), true},
      {"parts that are not numbers", VersionsPage("3.x.1"), true},
      {"part beyond 16 bits", VersionsPage("3.10.99999"), true},
      {"record cut after its product", "100,1.2.3\r\n230", true},
      {"binary bytes", std::string("\x00\xff\x1a\"\x80,\r\n\x01\x02\x03\"230\x00", 16) + "\xfe\xfd", true},
  };
  for (const Case& c : cases) {
    sys.windows.boxes.clear();
    sys.files.Remove(ErrorLogPath());
    Serve(c.page);
    Check();
    ExpectOnlyConnectionFailure(c.why);
    EXPECT_EQ(c.reported, Log().find("ChkNewVersion of Modul VRN_Internet") != std::string::npos) << c.why;
  }
}

TEST_F(VersionCheckTest, AnUnreachableSiteEndsInTheConnectionFailureWithoutAReport) {
  sys.http.handler = nullptr;  // every request fails like an unreachable host
  Check();
  ExpectOnlyConnectionFailure("no network");
  EXPECT_EQ(std::vector<std::string>{kVersionsUrl}, sys.http.requests);
  EXPECT_EQ(std::string::npos, Log().find("ChkNewVersion"));
}

// ---------------------------------------------------------------------------
// The local copy

TEST_F(VersionCheckTest, TheLocalCopyIsWrittenBesideTheProgramFolderAndReplaced) {
  const std::string page = VersionsPage("3.10.1");
  Serve(page);
  Check();
  EXPECT_EQ(page + "\r\n", sys.files.FileContent(kLocalCopy).value_or("<missing>"));

  Serve("230,3.10.1");
  Check();
  EXPECT_EQ("230,3.10.1\r\n", sys.files.FileContent(kLocalCopy).value_or("<missing>"));
  ASSERT_EQ(2u, Boxes().size());
  EXPECT_EQ(kUpToDate, Boxes()[1].text);
}

TEST_F(VersionCheckTest, ALocalCopyThatCannotBeWrittenIsReportedAndEndsTheCheck) {
  // A file stands where the temp folder should be.
  sys.files.AddFile("C:\\Program Files\\VRN\\temp", "in the way");
  Serve(VersionsPage("4.0.0"));
  Check();
  ExpectOnlyConnectionFailure("temp is a file");
  EXPECT_NE(std::string::npos, Log().find("ChkNewVersion of Modul VRN_Internet"));
  EXPECT_TRUE(sys.http.requests.empty());
}

// ---------------------------------------------------------------------------
// The button

TEST_F(VersionCheckTest, TheButtonLeavesTheTopBandWhileItWorksAndReturnsWhenAlwaysOnTop) {
  form.Load();
  MemoryFormPeer& window = *sys.windows.Window("FrmMain");
  Serve(VersionsPage("3.10.1"));
  std::vector<bool> topMostDuringBox;
  sys.windows.onMessageBox = [&](const MemoryWindowSystem::Box&) { topMostDuringBox.push_back(window.topMost); };

  form.chkWinOnTop.SetValue(1);
  ASSERT_TRUE(window.topMost);
  form.cmdNewVersion.UserClick();
  form.chkWinOnTop.SetValue(0);
  form.cmdNewVersion.UserClick();

  EXPECT_EQ((std::vector<bool>{false, false}), topMostDuringBox);
  EXPECT_FALSE(window.topMost);
  EXPECT_EQ(kUpToDate, Boxes().back().text);

  form.chkWinOnTop.SetValue(1);
  form.cmdNewVersion.UserClick();
  EXPECT_TRUE(window.topMost);
}

// ---------------------------------------------------------------------------
// The reader on its own

TEST(SequentialInputTest, FieldsLineEndsAndQuotes) {
  const std::string text = "a, \"b,c\" x ,d\re\r\n\"f\nf\"\n  g  ";
  SequentialInput input(text);
  std::vector<std::string> fields;
  while (!input.AtEnd()) fields.push_back(input.Field());
  EXPECT_EQ((std::vector<std::string>{"a", "b,c", "d", "e", "f\nf", "g"}), fields);
  try {
    input.Field();
    ADD_FAILURE() << "read past the end";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(errInputPastEnd, e.Number());
  }
}

// ---------------------------------------------------------------------------
// The address list

class UrlListTest : public ProgramTest {
 protected:
  std::string Log() const { return sys.files.FileContent(ErrorLogPath()).value_or(""); }
  static std::string Lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "http://site" + std::to_string(i) + ".example\r\n";
    return text;
  }
};

TEST_F(UrlListTest, MissingListGivesTheBuiltInHomePage) {
  Get_UrlList();
  EXPECT_EQ("http://www.vrn.example/vrn", HomePageAddress);
  EXPECT_EQ("", Log());
}

TEST_F(UrlListTest, CompleteListGivesItsFirstLine) {
  sys.files.AddFile(kUrlList, Lines(20));
  Get_UrlList();
  EXPECT_EQ("http://site1.example", HomePageAddress);
  EXPECT_EQ("", Log());
}

TEST_F(UrlListTest, ShortListIsReportedAndKeepsWhatWasRead) {
  sys.files.AddFile(kUrlList, Lines(3));
  Get_UrlList();
  EXPECT_EQ("http://site1.example", HomePageAddress);
  EXPECT_NE(std::string::npos, Log().find("Get_UrlList of Modul VRN_Internet"));

  // An empty list has nothing to keep: the built-in home page stays.
  sys.files.AddFile(kUrlList, "");
  HomePageAddress = "stale";
  Get_UrlList();
  EXPECT_EQ("http://www.vrn.example/vrn", HomePageAddress);
}

}  // namespace
}  // namespace tavrel
