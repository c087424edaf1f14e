// The central error reporter. Every trap in the program ends up here: one
// line per error appended to Common\error.log beside the program folder,
// the main window marked red, and (only when the hidden option asks for it)
// a message box or a mail with the whole log.
//
// The reporter must never fail itself and never feed on itself: the file
// helpers it writes through have traps of their own that would report again
// into the very log that could not be written. While the log's own file work
// runs, further reports and details are therefore dropped (g_logWriting);
// only yielding to the message loop lifts that, so an event handled
// meanwhile still gets its own line.
#include "support/VRN_ErrorLog.h"

#include "platform/Forms.h"
#include "platform/Platform.h"
#include "support/ErrorDisplay.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Hosts.h"
#include "support/Text.h"
#include "support/VRN_File_Dir.h"
#include "support/VRN_GetSystemInfos.h"

namespace tavrel {
namespace {

const char* const kCrLf = "\r\n";
constexpr long kErrorBoxStyle = vbCritical | vbSystemModal;  // 4112

bool g_errorFlagged = false;
int g_logWriting = 0;
IErrorDisplay* g_display = nullptr;

class LogWriting {
 public:
  LogWriting() { ++g_logWriting; }
  ~LogWriting() { --g_logWriting; }
  LogWriting(const LogWriting&) = delete;
  LogWriting& operator=(const LogWriting&) = delete;
};

const char* const kModule = "VRN_ErrorLog";

// <program folder>\..\Common, built from the folder the system reports so
// that the current directory never decides where the log goes.
std::string LogFolder() { return sFixDirString(Sys().process->AppPath()) + "..\\Common"; }

std::string LogHeader();

// Appends text + CR LF to the log, creating the folder (but no header).
// Each step is tried on its own; a failure loses the text silently.
//
// A log past its limit keeps its latest entries as error.old (an older one
// goes) and a new log starts with its header: on a machine that fails for
// months the log would otherwise grow without end. A log that cannot be
// renamed (locked by an editor, say) is appended to as before, never
// emptied.
void AppendToLog(const std::string& text) {
  LogWriting writing;
  std::string folder;
  if (!ErrorTrap::Quietly([&] { folder = LogFolder(); })) return;
  ErrorTrap::Quietly([&] { CreateDirectoryStruct(folder); });
  const std::string path = folder + "\\error.log";
  bool full = false;
  ErrorTrap::Quietly([&] { full = Sys().files->Size(path) > kErrorLogLimit; });
  if (full) {
    ErrorTrap::Quietly([&] {
      Sys().files->Rename(path, folder + "\\error.old");
      Sys().files->Write(path, LogHeader(), true);
    });
  }
  ErrorTrap::Quietly([&] { WriteFileW(path, text, true); });
}

std::string VersionText() {
  const VersionNumbers v = Sys().process->Version();
  return CStr(v.major) + "." + CStr(v.minor) + "." + CStr(v.revision);
}

std::string Tabbed(std::initializer_list<std::string> parts) {
  std::string line;
  for (const auto& part : parts) line += (line.empty() ? "" : "\t") + part;
  return line;
}

}  // namespace

void SetErrorDisplay(IErrorDisplay* display) { g_display = display; }

IErrorDisplay* ErrorDisplay() { return g_display; }

std::string ErrorLogPath() { return LogFolder() + "\\error.log"; }

bool ErrorFlagged() { return g_errorFlagged; }

void ResetErrorLogState() {
  g_errorFlagged = false;
  g_logWriting = 0;
}

void LetEventsRun() {
  if (!Sys().windows) return;
  // Restored however the events end, including a handler that ends the
  // process (which is not an error a trap would catch).
  struct Restore {
    int saved;
    ~Restore() { g_logWriting = saved; }
  } restore{g_logWriting};
  g_logWriting = 0;
  Sys().windows->DoEvents();
}

std::string GeneralDateText() {
  const DateTime now = Sys().clock->Now();
  return Sys().locale->ShortDate(now) + " " + Sys().locale->LongTime(now);
}

void ReportError(bool showMessage, const std::string& source, const std::string& procedure,
                 long line, long number, const std::string& description) {
  if (g_logWriting > 0) return;
  if (showMessage) g_errorFlagged = true;

  if (showMessage && g_display) {
    ErrorTrap::Quietly([&] {
      if (!g_display->ErrorMessageBoxWanted()) return;
      const std::string text = source + "/" + procedure + " : " + CStr(line) + kCrLf + kCrLf +
                               CStr(number) + ":" + description + kCrLf + kCrLf +
                               "Please report this error to " + SupportMailAddress();
      Sys().windows->MessageBox(text, source + " Error Message", kErrorBoxStyle);
    });
  }

  std::string date;
  ErrorTrap::Quietly([&] { date = GeneralDateText(); });
  std::string entry;
  if (ErrorTrap::Quietly([&] {
        entry = date + "  " + source + " : " + ProductNumber + " v." + VersionText() + "  " +
                procedure + "  " + CStr(line) + "  " + CStr(number) + "  " + description;
      }))
    AppendToLog(entry);

  if (g_display) ErrorTrap::Quietly([] { g_display->MarkError(); });
}

void LogErrorDetails(const std::string& v1, const std::string& v2, const std::string& v3,
                     const std::string& v4, const std::string& v5, const std::string& v6,
                     const std::string& v7, const std::string& v8, const std::string& v9,
                     const std::string& v10) {
  if (g_logWriting > 0) return;
  std::string text = v1;
  for (const std::string* v : {&v2, &v3, &v4, &v5, &v6, &v7, &v8, &v9, &v10}) text += kCrLf + *v;
  AppendToLog(text);

  bool mail = false;
  ErrorTrap::Quietly([&] { mail = g_display && g_display->ErrorMailWanted() && g_errorFlagged; });
  if (!mail) return;
  std::string body;
  ErrorTrap::Quietly([&] { body = ReadFileW(ErrorLogPath()); });
  ErrorTrap::Quietly([&] { Email_Error(body); });
}

void CreateErrorLog() {
  std::string path;
  bool exists = true;
  {
    LogWriting writing;  // nothing found here is worth a report of its own
    if (!ErrorTrap::Quietly([&] { path = ErrorLogPath(); })) return;
    ErrorTrap::Quietly([&] { exists = FileExists(path); });
  }
  if (exists) return;
  const std::string header = LogHeader();

  // The header goes only into a new file. Should a report have created the
  // log while the header was being put together, that entry is kept and no
  // header is added. Appending never empties anything; a missing Common
  // folder makes the write fail, and the first report creates it later.
  LogWriting writing;
  ErrorTrap::Quietly([&] {
    std::string again = path;
    if (!FileExists(again)) Sys().files->Write(path, header, true);
  });
}

namespace {

// Lines 3 to 6 ask the system; a line that cannot be made is left out,
// the others are still written.
std::string LogHeader() {
  std::string header;
  auto addLine = [&](const std::function<std::string()>& make) {
    ErrorTrap::Quietly([&] { header += make() + kCrLf; });
  };
  addLine([] { return "########  v.r.n error log file - created " + GeneralDateText(); });
  addLine([] { return Tabbed({ProductNumber, UserName, MachineCode, CompanyName}); });
  addLine([] { return Tabbed({CStr(SysLanguageID()), SysLanguageName()}); });
  addLine([] { return Tabbed({Country(), LanguageName(), NativeCountryName()}); });
  addLine([] { return Tabbed({GetSysDir(), GetWinDir(), Sys().process->AppPath()}); });
  addLine([] {
    const std::string name = GetWinVersion();
    return Tabbed({CStr(VersionInfo.dwMajorVersion), CStr(VersionInfo.dwMinorVersion),
                   CStr(VersionInfo.dwBuildNumber), CStr(VersionInfo.dwPlatformId), name});
  });
  addLine([] { return std::string("########  End of Header  ##########"); });
  return header;
}

}  // namespace

void Email_Error(const std::string& body) {
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "Email_Error"));
  std::string link;
  const bool built = trap(10, [&] {
    link = "MailTo:" + SupportMailAddress() + "?Subject=" + ProgramName + "  - error.log report -  " +
           GeneralDateText();
    if (body.empty()) return;
    std::string escaped = Replace(body, "\t", "     ");
    escaped = Replace(escaped, " ", "%20");
    escaped = Replace(escaped, "&", "%26");
    escaped = Replace(escaped, "\r\n", "%0D%0A");
    link += "&Body=" + escaped;
  });
  if (built) {
    trap(20, [&] {
      Sys().shell->Execute(Sys().windows->DesktopWindow(), "Open", link, "",
                           Sys().process->AppPath(), kSwShowNormal);
    });
  }
  LetEventsRun();
}

// ---------------------------------------------------------------------------
// Locale questions for the log's header. Each answers "" (or 0) when the
// system has no answer.

int32_t SysLanguageID() {
  int32_t result = 0;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "SysLanguageID"));
  trap(10, [&] { result = Sys().system->SystemDefaultLangId(); });
  return result;
}

std::string SysLanguageName() {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "SysLanguageName"));
  trap(10, [&] { result = Sys().system->LanguageName(Sys().system->SystemDefaultLangId()); });
  return result;
}

std::string GetLocaleString(int32_t lcType) {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "GetLocaleString"));
  trap(10, [&] { result = Sys().system->LocaleInfo(static_cast<uint32_t>(lcType)); });
  return result;
}

namespace {
std::string LocaleItem(const char* procedure, int32_t lcType) {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, procedure));
  trap(10, [&] { result = GetLocaleString(lcType); });
  return result;
}
constexpr int32_t kLocaleEnglishCountry = 4098;    // LOCALE_SENGCOUNTRY
constexpr int32_t kLocaleNativeLanguage = 4;       // LOCALE_SNATIVELANGNAME
constexpr int32_t kLocaleNativeCountry = 8;        // LOCALE_SNATIVECTRYNAME
}  // namespace

std::string Country() { return LocaleItem("Country", kLocaleEnglishCountry); }
std::string LanguageName() { return LocaleItem("LanguageName", kLocaleNativeLanguage); }
std::string NativeCountryName() { return LocaleItem("NativeCountryName", kLocaleNativeCountry); }

}  // namespace tavrel
