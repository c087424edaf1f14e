// The error trap every procedure uses. A procedure numbers its statements
// 10, 20, 30 ... and runs each through its trap; a run-time error in a
// statement is handed to ReportError with the statement's number, and the
// trap answers false. The procedure then ends the way its design says:
//
//   resume with the next statement:   trap(20, [&] { ... });
//   leave, keeping the result so far: if (!trap(20, [&] { ... })) return result;
//
// Standard-library failures are translated into the run-time errors they
// stand for (bad_alloc: 7, out_of_range: 6, invalid_argument: 13).
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/RuntimeError.h"

namespace tavrel {

// Component texts of the reports.
extern const char* const kSourceMain;    // "A_Tavrel": the main window's procedures
extern const char* const kSourceCommon;  // "Common": the time-sync module
// The product name of the version resource ("vrn Tavrel XP"): all else.
std::string ProductSource();

// The procedure texts of the reports: "Timer1_Timer of Formular FrmMain",
// "CreateKey of Modul VRN_Registry".
std::string FormProcedure(const std::string& form, const std::string& procedure);
std::string ModuleProcedure(const std::string& module, const std::string& procedure);

class ErrorTrap {
 public:
  ErrorTrap(std::string source, std::string procedure, bool showMessage = true)
      : source_(std::move(source)), procedure_(std::move(procedure)), showMessage_(showMessage) {}

  template <class Statement>
  bool operator()(int line, Statement&& statement) {
    long number = 0;
    std::string description;
    if (Run(std::forward<Statement>(statement), number, description)) return true;
    Report(line, number, description);
    return false;
  }

  // Runs after every report, e.g. to pass the values worked on to
  // LogErrorDetails.
  std::function<void()> afterReport;

  // Runs a statement with errors ignored (the "on error resume next" parts).
  template <class Statement>
  static bool Quietly(Statement&& statement) {
    long number = 0;
    std::string description;
    return Run(std::forward<Statement>(statement), number, description);
  }

 private:
  template <class Statement>
  static bool Run(Statement&& statement, long& number, std::string& description) {
    try {
      statement();
      return true;
    } catch (const RuntimeError& e) {
      number = e.Number();
      description = e.Description();
    } catch (const std::exception& e) {
      Translate(e, number, description);
    }
    return false;
  }
  static void Translate(const std::exception& e, long& number, std::string& description);
  void Report(int line, long number, const std::string& description);

  std::string source_;
  std::string procedure_;
  bool showMessage_;
};

}  // namespace tavrel
