// The language file: numbered texts in Common\language\<name>.lng beside
// the program folder. An entry is a line that (after its spaces are
// trimmed) starts with an upper-case T, carries its number in the next four
// characters and its text after the first tab; every other line is a
// comment. Without a readable file the program cannot run, so a missing or
// corrupt file is told to the user and answered with false.
#include "support/VRN_Language.h"

#include "platform/Forms.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Text.h"
#include "support/VRN_ErrorLog.h"
#include "support/VRN_File_Dir.h"

namespace tavrel {
namespace {

const char* const kProcedure = "set_language of Modul VRN_Language";

// Stores the entry a line holds, if it is one. A number that is no number
// or lies outside the table makes the file corrupt.
void ReadLine(const std::string& raw) {
  const std::string line = Trim(raw);
  if (line.empty() || line[0] != 'T') return;
  const auto tab = line.find('\t');
  if (tab == std::string::npos || tab + 1 == line.size()) return;
  const long number = ParseWholeNumber(Mid(line, 2, 4));
  if (number < 0 || number >= kLanguageTextCount) Raise(errSubscriptRange);
  LanguageTexts[static_cast<std::size_t>(number)] = Trim(line.substr(tab + 1));
}

void ReadEntries(const std::string& bytes) {
  for (const std::string& line : SplitLines(bytes)) ReadLine(line);
}

void TellMissingOrCorrupt(const std::string& fileName) {
  LogErrorDetails("No language file");
  ErrorTrap::Quietly([&] {
    Sys().windows->MessageBox("The language file " + fileName + " is missing or corrupted!\r\n"
                              "Please install the the program again.\r\n"
                              "The program will be terminated now.",
                              ProgramName, vbOKOnly | vbSystemModal);
  });
}

}  // namespace

bool set_language(const std::string& fileName) {
  bool result = false;
  ErrorTrap trap(ProductSource(), kProcedure);
  std::string path;
  bool exists = false;
  if (trap(20, [&] {
        path = sFixDirString(Sys().process->AppPath()) + "..\\Common\\language\\" + fileName;
      }))
    exists = FileExists(path);
  if (exists) {
    std::string bytes;
    if (trap(40, [&] { bytes = Sys().files->ReadAll(path); }) && trap(50, [&] { ReadEntries(bytes); }))
      result = true;
  }
  if (!result) TellMissingOrCorrupt(fileName);
  LetEventsRun();
  return result;
}

}  // namespace tavrel
