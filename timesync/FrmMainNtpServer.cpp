// The main window's side of the NTP server for the local network: the rows
// of the time-source frame while "act as a NTP server for a local network"
// is chosen, the source the program goes on setting its own clock from
// meanwhile (the web servers or an NTP server of its own), and the server
// started, moved or stopped when the options are loaded and saved. The
// server itself is NtpServer; DoAtomicTime tells it of every run.
#include <algorithm>
#include <optional>

#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Text.h"
#include "timesync/NtpServer.h"

namespace tavrel {
namespace {

const char* const kForm = "FrmMain";
constexpr double kHoursPerDay = 24;

}  // namespace

NtpServer& FrmMain::LanNtpServer() {
  if (!ntpServer_) ntpServer_ = std::make_unique<NtpServer>();
  return *ntpServer_;
}

// Choosing to serve keeps the source chosen before: an NTP server the
// program asked moves to its own box, and the address box takes the port
// to serve on. Going back to the client brings that server back.
void FrmMain::optTimeSource_Click(int index) {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "optTimeSource_Click"));
  // A click on the option already chosen changes nothing.
  const bool wasServing = cboServerSource.Visible();
  if (index == 1 && !wasServing) {
    trap(10, [&] {
      const bool fromNtp = syncSource_ == 2;
      if (fromNtp && !IsServedPortText(txtIPaddress.Text())) txtNtpServer.SetText(txtIPaddress.Text());
      cboServerSource.SetListIndex(fromNtp ? 1 : 0);
    });
    trap(20, [&] {
      if (!IsServedPortText(txtIPaddress.Text())) txtIPaddress.SetText(":123");
    });
  } else if (index != 1) {
    trap(30, [&] {
      if (index == 2 && IsServedPortText(txtIPaddress.Text())) txtIPaddress.SetText(txtNtpServer.Text());
      syncSource_ = index;
    });
  }
  trap(40, [&] { ShowTimeSourceRows(); });
}

void FrmMain::cboServerSource_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "cboServerSource_Click"));
  trap(10, [&] { txtNtpServer.SetEnabled(cboServerSource.ListIndex() == 1); });
}

// While serving, the row under the address says where the program's own
// time comes from; otherwise it shows the port the NTP client asks.
void FrmMain::ShowTimeSourceRows() {
  const bool serving = optTimeSource(1).Value() != 0;
  Label14.SetVisible(!serving);
  Label16.SetVisible(serving);
  cboServerSource.SetVisible(serving);
  txtNtpServer.SetVisible(serving);
  txtNtpServer.SetEnabled(cboServerSource.ListIndex() == 1);
  txtIPaddress_Change();
}

double FrmMain::ServedMaxAgeSeconds() {
  std::optional<double> hours;
  ErrorTrap::Quietly([&] {
    if (chkPeriodic.Value() == 1) hours = CDbl(txtPeriodic.Text(), Sys().locale->DecimalSeparator());
  });
  if (!hours) return kHoursPerDay * 3600;
  // A period of less than a minute runs once a minute.
  return 4 * std::max(*hours * 3600, kMinPeriodicGapMs / 1000.0);
}

// A port the server cannot have is reported once (the log would otherwise
// see it at every save); the server tries again quietly after every run,
// and the line under the address keeps saying why it does not serve.
void FrmMain::ApplyNtpServer() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "ApplyNtpServer"));
  bool wanted = false;
  trap(10, [&] { wanted = optTimeSource(1).Value() != 0; });
  if (!wanted) {
    trap(20, [&] { LanNtpServer().Stop(); });
    reportedServerFailure_.clear();
    return;
  }
  trap(30, [&] { LanNtpServer().SetMaxAge(ServedMaxAgeSeconds()); });
  uint16_t port = 0;
  if (!trap(40, [&] { port = ParseServedPort(txtIPaddress.Text()); })) {
    trap(50, [&] { LanNtpServer().Stop(); });
    trap(60, [&] { Label15.SetCaption("no port to serve NTP on: " + Trim(txtIPaddress.Text())); });
    return;
  }
  NtpServer& server = LanNtpServer();
  if (server.Serving() && server.Port() == port) return;
  try {
    server.Serve(port);
  } catch (const RuntimeError& failure) {
    if (failure.Description() != reportedServerFailure_) {
      reportedServerFailure_ = failure.Description();
      trap(70, [&] { throw failure; });
    }
    trap(80, [&] { Label15.SetCaption(failure.Description()); });
    return;
  }
  reportedServerFailure_.clear();
  trap(90, [&] {
    Label15.SetCaption("serving NTP on port " + std::to_string(port) + (server.ServingIpv6() ? " (IPv4, IPv6)" : ""));
  });
}

}  // namespace tavrel
