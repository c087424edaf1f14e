// The main window's new-version check: the versions file of the maker's web
// site is fetched, kept as a local copy beside the program folder, and this
// program's record in it compared with the running version. A newer release
// is offered for download; any failure on the way ends in one message.
#include "app/FrmMain.h"
#include "internet/VRN_Internet.h"
#include "internet/VersionsFile.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/VRN_File_Dir.h"
#include "support/VRN_WindowsTopMost.h"

namespace tavrel {
namespace {


void ConnectionFailure() {
  Sys().windows->MessageBox("There was a problem connecting to the internet.\r\nPlease try it later again.", "Error",
                            vbOKOnly | vbCritical);
}

// The offer's opening words for a published version, or nullptr when the
// installed one is as new: major first, then minor, then revision.
const char* OfferFor(const VersionNumbers& installed, const PublishedVersion& published) {
  if (installed.major > published.major) return nullptr;
  if (installed.major < published.major) return "A new major release (vers. ";
  if (installed.minor > published.minor) return nullptr;
  if (installed.minor < published.minor) return "A new recommended release (vers. ";
  if (installed.revision >= published.revision) return nullptr;
  return "A new revision (vers. ";
}

}  // namespace

void FrmMain::cmdNewVersion_Click() {
  ErrorTrap trap(ProductSource(), "cmdNewVersion_Click of Formular FrmMain");
  trap.afterReport = [] { Sys().windows->DoEvents(); };
  // Out of the top-most band, so that the messages are not hidden behind.
  trap(10, [&] { tavrel::SetNotTopMost(*this); });
  trap(20, [&] { ChkNewVersion(); });
  trap(30, [&] { Sys().windows->DoEvents(); });
  trap(40, [&] {
    if (chkWinOnTop.Value() == 1) tavrel::SetTopMost(*this);
  });
}

// Every error ends the check with the connection-failure message; only a
// page that cannot be fetched goes there without a report.
void FrmMain::ChkNewVersion() {
  ErrorTrap trap(ProductSource(), "ChkNewVersion of Modul VRN_Internet");
  const auto done = [] { ErrorTrap::Quietly([] { Sys().windows->SetScreenPointer(MousePointer::Default); }); };
  const auto fail = [&] {
    ErrorTrap::Quietly([] { ConnectionFailure(); });
    done();
  };

  std::string folder, localCopy, url, page, version;
  bool found = false;
  if (!trap(10, [&] { Sys().windows->SetScreenPointer(MousePointer::Hourglass); })) return fail();
  if (!trap(20, [&] {
        folder = Sys().process->AppPath() + "\\..\\temp";
        localCopy = folder + "\\versions.txt";
        CreateDirectoryStruct(folder);
      }))
    return fail();
  if (!trap(30, [&] { url = WebSite() + "/vrn/versions.txt"; })) return fail();
  if (!trap(40, [&] { Sys().files->Write(localCopy, "", false); })) return fail();
  if (!ErrorTrap::Quietly([&] {
        page = Sys().http->OpenUrl(url);
        Sys().files->Write(localCopy, page + "\r\n", false);
      }))
    return fail();
  if (!trap(60, [&] { page = Sys().files->ReadAll(localCopy); })) return fail();
  if (!trap(70, [&] {
        SequentialInput input(page);
        while (!found && !input.AtEnd()) {
          const std::string product = input.Field();
          version = input.Field();
          found = product == ProductNumber;
        }
      }))
    return fail();
  if (!found) return fail();

  const char* offer = nullptr;
  if (!trap(80, [&] { offer = OfferFor(Sys().process->Version(), SplitVersion(version)); })) return fail();
  if (!offer) {
    if (!trap(100, [&] {
          Sys().windows->MessageBox("You have installed the latest release of " + ProgramName + ".", "Info",
                                    vbOKOnly | vbInformation);
        }))
      return fail();
    return done();
  }
  if (!trap(110, [&] {
    const std::string text = offer + version + ")" + " of " + ProgramName + " is available for download." +
                             "\r\nDo you want to download it now ?";
    if (Sys().windows->MessageBox(text, "Info", vbYesNo | vbInformation) == vbYes)
      Sys().shell->Execute(hwnd(), "open", WebSite() + "/vrn/products/downloads_e.htm", "", "", kSwShow);
  }))
    return fail();
  done();
}

}  // namespace tavrel
