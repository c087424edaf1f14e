#include "internet/VRN_Internet.h"

#include <vector>

#include "platform/Forms.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Hosts.h"
#include "support/Text.h"
#include "support/VRN_File_Dir.h"

namespace tavrel {
namespace {

const int kUrlListLines = 20;

}  // namespace

std::string WebSite() { return HostSetting("WebSite", "http://www.vrn.example"); }

void Get_UrlList() {
  ErrorTrap trap(ProductSource(), "Get_UrlList of Modul VRN_Internet");
  std::string file = sFixDirString(Sys().process->AppPath()) + "..\\common\\license\\UrlList.txt";
  // The built-in home page stays when the list exists but is empty, so the
  // links never open an empty address (the shell would show a folder).
  HomePageAddress = WebSite() + "/vrn";
  if (FileExists(file)) {
    // The other nineteen lines are read and not used; a shorter file is
    // reported, and what was read before stays.
    trap(10, [&] {
      const std::vector<std::string> lines = SplitLines(Sys().files->ReadAll(file));
      for (int i = 0; i < kUrlListLines; ++i) {
        if (i >= static_cast<int>(lines.size())) Raise(errInputPastEnd);
        if (i == 0) HomePageAddress = lines[0];
      }
    });
  }
  Sys().windows->DoEvents();
}

}  // namespace tavrel
