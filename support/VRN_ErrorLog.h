// The central error reporter and the error log (Common\error.log beside the
// program folder), plus the locale questions the log's header asks.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel {

// Appends one line per error to the log, optionally shows a message box,
// marks the main window (red indicator, "Error log"). Never raises; a report
// made while another is being written is dropped, so an unwritable log can
// never start a chain of reports.
void ReportError(bool showMessage, const std::string& source, const std::string& procedure,
                 long line, long number, const std::string& description);
// Appends ten values, one per line, to the log; mails the log when the user
// asked for it and an error with a message has been reported.
void LogErrorDetails(const std::string& v1, const std::string& v2 = "", const std::string& v3 = "",
                     const std::string& v4 = "", const std::string& v5 = "",
                     const std::string& v6 = "", const std::string& v7 = "",
                     const std::string& v8 = "", const std::string& v9 = "",
                     const std::string& v10 = "");
// Creates the log with its header when it does not exist yet.
void CreateErrorLog();
// Opens the mail program with the log as body.
void Email_Error(const std::string& body);

// A log past this size (1 MiB) becomes error.old at the next entry, and a
// new log starts with its header.
constexpr uint64_t kErrorLogLimit = 1024 * 1024;

// The path of the log: <program folder>\..\Common\error.log.
std::string ErrorLogPath();
// True once ReportError was called with showMessage True.
bool ErrorFlagged();
// Back to a new process's state (for tests).
void ResetErrorLogState();

// Lets pending window events run once. Every helper that yields to the
// message loop goes through here, so that an event handled meanwhile can
// report its own errors even while the log is being written.
void LetEventsRun();

// The current local date and time as the general date text (short date, a
// space, long time) used in log lines and the mail subject.
std::string GeneralDateText();

// Locale information for the log's header.
int32_t SysLanguageID();
std::string SysLanguageName();
std::string GetLocaleString(int32_t lcType);
std::string Country();
std::string LanguageName();
std::string NativeCountryName();

}  // namespace tavrel
