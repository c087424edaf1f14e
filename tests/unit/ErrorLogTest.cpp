// The error log as people read it: the bytes of Common\error.log after
// reports, details and the start-up header, the marks on the main window,
// the optional message box and the mail link.
#include "app/FrmMain.h"
#include "support/ErrorTrap.h"
#include "support/Text.h"
#include "tests/unit/TestPlatform.h"

namespace tavrel {
namespace {

const char* const kLog = "C:\\Program Files\\VRN\\Common\\error.log";
const char* const kCommon = "C:\\Program Files\\VRN\\Common";
const char* const kNow = "08.12.2026 12:00:00";  // the memory clock and locale

class ErrorLogTest : public ProgramTest {
 protected:
  ErrorLogTest() {
    sys.files.AddFolder(sys.process.appPath);
    MainForm = &form;
    UserName = "TESTER";
    MachineCode = "123456789";
    CompanyName = "NONE";
  }
  ~ErrorLogTest() override { MainForm = nullptr; }

  std::string Log() const { return sys.files.FileContent(kLog).value_or("<no file>"); }
  void Report(bool showMessage = true, long line = 40, const std::string& description = "File not found") {
    ReportError(showMessage, "vrn Tavrel XP", "Demo of Modul VRN_Test", line, 53, description);
  }

  FrmMain form;
};

std::string Entry(long line, const std::string& description) {
  return std::string(kNow) + "  vrn Tavrel XP : 230 v.3.10.1  Demo of Modul VRN_Test  " + std::to_string(line) + "  53  " + description +
         "\r\n";
}

TEST_F(ErrorLogTest, ReportAppendsOneLineAfterWhateverIsThere) {
  sys.files.AddFile(kLog, "old content\r\n");
  Report(true, 40);
  Report(false, 230, "second");
  EXPECT_EQ("old content\r\n" + Entry(40, "File not found") + Entry(230, "second"), Log());
}

TEST_F(ErrorLogTest, LogLineNamesTheReportersOwnSourceAndVersion) {
  sys.process.version = {4, 2, 17};
  ProductNumber = "999";
  ReportError(true, "A_Tavrel", "Timer1_Timer of Formular FrmMain", 10, 6, "Overflow");
  EXPECT_EQ(std::string(kNow) + "  A_Tavrel : 999 v.4.2.17  Timer1_Timer of Formular FrmMain  10  6  Overflow\r\n",
            Log());
}

TEST_F(ErrorLogTest, DescriptionWithLineBreaksSpansSeveralLines) {
  Report(true, 40, "first part\r\nsecond part");
  EXPECT_EQ(Entry(40, "first part\r\nsecond part"), Log());
}

TEST_F(ErrorLogTest, FirstReportWithoutCommonFolderCreatesFolderAndLogWithoutHeader) {
  CreateErrorLog();
  EXPECT_FALSE(sys.files.FolderExists(kCommon));
  EXPECT_FALSE(sys.files.FileContent(kLog));

  Report();
  EXPECT_TRUE(sys.files.FolderExists(kCommon));
  EXPECT_EQ(Entry(40, "File not found"), Log());

  CreateErrorLog();  // an existing log never gets a header
  EXPECT_EQ(Entry(40, "File not found"), Log());
}

TEST_F(ErrorLogTest, HeaderDescribesTheMachineInANewLogOnly) {
  sys.files.AddFolder(kCommon);
  sys.system.version = WindowsXp();
  CreateErrorLog();
  const std::string header =
      std::string("########  v.r.n error log file - created ") + kNow + "\r\n" +
      "230\tTESTER\t123456789\tNONE\r\n"
      "1033\tEnglish (United States)\r\n"
      "United States\tEnglish\tUnited States\r\n"
      "C:\\WINDOWS\\system32\tC:\\WINDOWS\tC:\\Program Files\\VRN\\Tavrel\r\n"
      "5\t1\t2600\t2\tWindows XP\r\n"
      "########  End of Header  ##########\r\n";
  EXPECT_EQ(header, Log());

  Report();
  CreateErrorLog();
  EXPECT_EQ(header + Entry(40, "File not found"), Log());
}

TEST_F(ErrorLogTest, HeaderNeverReplacesAnExistingLog) {
  for (unsigned attributes : {0u, unsigned(attrReadOnly), unsigned(attrHidden | attrSystem)}) {
    sys.files.AddFile(kLog, "kept\r\n", attributes);
    CreateErrorLog();
    EXPECT_EQ("kept\r\n", Log()) << attributes;
  }
}

TEST_F(ErrorLogTest, ALogPastItsLimitBecomesTheOldLogAndANewOneStartsWithItsHeader) {
  const std::string kOld = "C:\\Program Files\\VRN\\Common\\error.old";
  sys.files.AddFile(kOld, "an older log\r\n");
  const std::string full = std::string(kErrorLogLimit, 'x');
  sys.files.AddFile(kLog, full);
  Report(true, 10);  // exactly at the limit: still one log
  EXPECT_EQ(full + Entry(10, "File not found"), Log());

  Report(true, 20);
  EXPECT_EQ(full + Entry(10, "File not found"), sys.files.FileContent(kOld).value_or("<no file>"));
  const std::string log = Log();
  EXPECT_EQ(0u, log.find("########  v.r.n error log file - created " + std::string(kNow) + "\r\n"));
  EXPECT_NE(std::string::npos, log.find("########  End of Header  ##########\r\n" + Entry(20, "File not found")));
  EXPECT_LT(log.size(), 1000u);
}

TEST_F(ErrorLogTest, AFullLogThatCannotBeRenamedKeepsEveryEntry) {
  const std::string full = std::string(kErrorLogLimit + 1, 'x');
  sys.files.AddFile(kLog, full);
  sys.files.SetAttributes(kLog, attrReadOnly);
  Report(true, 10);
  EXPECT_FALSE(sys.files.FileContent("C:\\Program Files\\VRN\\Common\\error.old").has_value());
  EXPECT_EQ(full, Log());  // read-only: the entry is lost, the log is not
}

TEST_F(ErrorLogTest, ReportMarksTheMainWindowAndFlagsOnlyWithAMessage) {
  form.chkErrMsgBox.SetValue(1);
  Report(false);
  EXPECT_FALSE(ErrorFlagged());
  EXPECT_TRUE(sys.windows.boxes.empty());
  EXPECT_EQ(kIndicatorRed, form.ErrorIndicator.BackColor());
  EXPECT_TRUE(form.lblError.Visible());

  Report(true, 40);
  EXPECT_TRUE(ErrorFlagged());
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ(4112, sys.windows.boxes[0].style);
  EXPECT_EQ("vrn Tavrel XP Error Message", sys.windows.boxes[0].title);
  EXPECT_EQ(
      "vrn Tavrel XP/Demo of Modul VRN_Test : 40\r\n\r\n53:File not found\r\n\r\n"
      "Please report this error to support@vrn.example",
      sys.windows.boxes[0].text);
}

TEST_F(ErrorLogTest, NoBoxUnlessTheHiddenOptionIsTicked) {
  sys.registry.WriteString(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\Hosts", "SupportMail",
                           " help@example.test ");
  Report(true);
  EXPECT_TRUE(ErrorFlagged());
  EXPECT_TRUE(sys.windows.boxes.empty());
  form.chkErrMsgBox.SetValue(1);
  Report(true);
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_NE(std::string::npos, sys.windows.boxes[0].text.find("report this error to help@example.test"));
}

TEST_F(ErrorLogTest, ReportBeforeTheWindowExistsStillLogs) {
  MainForm = nullptr;
  Report(true);
  EXPECT_TRUE(ErrorFlagged());
  EXPECT_EQ(Entry(40, "File not found"), Log());
}

TEST_F(ErrorLogTest, UnwritableLogLosesTheEntrySilentlyAndNeverReportsItself) {
  form.chkErrMsgBox.SetValue(1);
  sys.files.AddFile(kLog, "old\r\n", attrReadOnly);
  Report(true);
  LogErrorDetails("details");
  EXPECT_EQ("old\r\n", Log());
  EXPECT_EQ(1u, sys.windows.boxes.size());  // the report's own box, not the write failure's
  EXPECT_EQ(kIndicatorRed, form.ErrorIndicator.BackColor());
  EXPECT_TRUE(form.lblError.Visible());

  // Common blocked by a file: no folder, no log, still no chain of reports.
  sys.files.Remove(kLog);
  sys.files.Remove(kCommon);
  sys.files.AddFile(kCommon, "not a folder");
  Report(true);
  EXPECT_EQ(2u, sys.windows.boxes.size());
  EXPECT_EQ("not a folder", sys.files.FileContent(kCommon).value());

  // Once the log can be written again, reports arrive as before.
  sys.files.Remove(kCommon);
  Report(true);
  EXPECT_EQ(Entry(40, "File not found"), Log());
}

TEST_F(ErrorLogTest, AnEventHandledDuringTheWriteGetsItsOwnLine) {
  bool inside = false;
  sys.windows.onDoEvents = [&] {
    if (inside) return;
    inside = true;
    ReportError(true, "A_Tavrel", "Timer1_Timer of Formular FrmMain", 20, 6, "Overflow");
    inside = false;
  };
  Report(true, 40);
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Demo of Modul VRN_Test  40  53"));
  EXPECT_NE(std::string::npos, log.find("Timer1_Timer of Formular FrmMain  20  6  Overflow"));
}

TEST_F(ErrorLogTest, DetailsAreTenLinesJoinedByCrLf) {
  LogErrorDetails("HKEY_LOCAL_MACHINE\\Software\\x", "value");
  EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\x\r\nvalue\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n", Log());
}

TEST_F(ErrorLogTest, MailGoesOutOnlyAfterAnErrorWithAMessage) {
  form.chkErrorLogEmail.SetValue(1);
  Report(false);
  LogErrorDetails("HKEY_LOCAL_MACHINE\\x");
  EXPECT_TRUE(sys.shell.executed.empty());

  Report(true);
  LogErrorDetails("after");
  ASSERT_EQ(1u, sys.shell.executed.size());
  const auto& call = sys.shell.executed[0];
  EXPECT_EQ("Open", call.verb);
  EXPECT_EQ(1, call.owner);  // the desktop window
  EXPECT_EQ("", call.parameters);
  EXPECT_EQ(sys.process.appPath, call.directory);
  EXPECT_EQ(1, call.show);
  // The body is the whole log, escaped, as it was after the details.
  const std::string bodyStart = "&Body=" + Replace(Replace(Entry(40, "File not found"), " ", "%20"), "\r\n", "%0D%0A");
  EXPECT_NE(std::string::npos, call.file.find(bodyStart)) << call.file;
  EXPECT_NE(std::string::npos, call.file.find("after%0D%0A%0D%0A"));

  LogErrorDetails("again");
  EXPECT_EQ(2u, sys.shell.executed.size());
  form.chkErrorLogEmail.SetValue(0);
  LogErrorDetails("not mailed");
  EXPECT_EQ(2u, sys.shell.executed.size());
}

TEST_F(ErrorLogTest, MailLinkEscapesOnlyTabsSpacesAmpersandsAndLineBreaks) {
  sys.windows.doEvents = 0;
  Email_Error("a\tb c&d\r\n%41?x#y+z\rcr\nlf");
  ASSERT_EQ(1u, sys.shell.executed.size());
  EXPECT_EQ(std::string("MailTo:support@vrn.example?Subject=Tavrel  - error.log report -  ") + kNow +
                "&Body=a%20%20%20%20%20b%20c%26d%0D%0A%41?x#y+z\rcr\nlf",
            sys.shell.executed[0].file);
  EXPECT_EQ(1, sys.windows.doEvents);

  Email_Error("");
  EXPECT_EQ(std::string("MailTo:support@vrn.example?Subject=Tavrel  - error.log report -  ") + kNow,
            sys.shell.executed[1].file);
}

TEST_F(ErrorLogTest, LocaleItemsTheSystemLacksAreEmpty) {
  sys.system.localeInfo.clear();
  sys.system.languageNames.clear();
  EXPECT_EQ("", GetLocaleString(0x1234));
  EXPECT_EQ("", Country());
  EXPECT_EQ("", SysLanguageName());
  EXPECT_EQ(0x0409, SysLanguageID());
}

}  // namespace
}  // namespace tavrel
