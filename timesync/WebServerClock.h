// The time of a web server's own clock, for when the time pages print no
// time: every HTTP answer carries the server's clock in its Date header, in
// whole seconds. Asking again at chosen moments finds when the server's
// second changes, and so its clock to a few milliseconds plus half the
// round trip.
#pragma once

#include <string>
#include <vector>

#include "timesync/SyncCore.h"
#include "timesync/WebAsker.h"

namespace tavrel {

// One answer with a valid Date: the server's clock in whole seconds (UTC)
// and the computer's UTC clock before the request left and after the
// answer arrived.
struct DateReading {
  std::string url;
  DateTime date;
  DateTime sentUtc, answeredUtc;
};

class WebServerClock : public ITimeSource {
 public:
  static constexpr int kRequests = 8;
  static constexpr double kBudgetSeconds = 10;
  // Readings whose Dates differ by more than this from what one clock
  // would say reject the server.
  static constexpr double kContradiction = 2;

  // The Dates the time pages' answers carried; the fastest answer's host
  // is the one asked again, through the run's asker (which keeps it to its
  // share of requests). Every Date of that host counts, whichever page it
  // came with: it is the one server's clock.
  WebServerClock(std::vector<DateReading> readings, WebAsker& asker)
      : readings_(std::move(readings)), asker_(asker) {}
  std::optional<TimeReading> Read(std::string& timePageText, ErrorTrap& trap) override;
  std::optional<std::string> ResultLine() const override { return line_; }

 private:
  std::vector<DateReading> readings_;
  WebAsker& asker_;
  std::optional<std::string> line_;
};

}  // namespace tavrel
