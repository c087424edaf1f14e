// The web time pages as a time source: the Naval Observatory, NIST and
// eBay asked in turn until one prints the time, every answer's Date kept
// for the web server's clock; the local time a page's reading stands for;
// and the other hosts' word on a correction one of them asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "timesync/SyncCore.h"
#include "timesync/WebAsker.h"
#include "timesync/WebServerClock.h"

namespace tavrel {

struct PageSource;  // one time page and how to read it

class TimePageChain : public ITimeSource {
 public:
  TimePageChain(bool ebayOnly, WebAsker& asker) : ebayOnly_(ebayOnly), asker_(asker) {}
  std::optional<TimeReading> Read(std::string& timePageText, ErrorTrap& trap) override;
  // Every answer's Date, in the order they came.
  std::vector<DateReading>& Dates() { return dates_; }

 private:
  std::optional<TimeReading> TrySource(const PageSource& source, int reserve, std::string& timePageText,
                                       ErrorTrap& trap);

  bool ebayOnly_;
  WebAsker& asker_;
  std::vector<DateReading> dates_;
  std::vector<std::string> settled_;  // pages that answered with no page: a redirect, an error
};

// The word of the time-page hosts other than `firstHost` on a source that
// says the UTC clock is `offset` seconds off (`timeOfDay`: only the time
// of day counts, as a page shows no date). Each host speaks through a Date
// it sent earlier in the run or, failing that, through one more request:
// its page's time, or its Date. The first host that agrees within
// kAgreeSeconds confirms; the answer shown when none agrees is the first
// that came. Failed requests are not reported: the run reports the outcome
// once.
SecondOpinion AskOtherHosts(WebAsker& asker, const std::vector<DateReading>& dates, const std::string& firstHost,
                            double offset, bool timeOfDay);

}  // namespace tavrel
