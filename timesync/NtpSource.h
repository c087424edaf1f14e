// NTP servers as a time source: up to four of them, as the user lists them
// in the address box (commas between; a name counts as every address it
// resolves to, so a pool name alone is several servers). Each is asked
// kRequests times; the answers that pass the client's checks are grouped,
// and the run goes by the best-delay answer of the largest group agreeing
// within kGroupSeconds (with three answers or more, the group must hold
// more than half of them). Servers the book (NtpServerBook) says not to
// ask are left out and named in the result line.
#pragma once

#include <string>
#include <vector>

#include "timesync/Sntp.h"
#include "timesync/SyncCore.h"

namespace tavrel {

// The entries of the address box: the texts between its commas, blank
// ones skipped, at most NtpSource::kMaxServers; an empty box is one empty
// entry (the public pool, see ParseNtpServer).
std::vector<std::string> SplitNtpServerList(const std::string& text);

// One valid answer, for the choice: the offset to add to the computer's
// UTC clock and the round trip, in seconds.
struct NtpAnswer {
  double offset = 0;
  double delay = 0;
};

struct NtpChoice {
  int index = -1;     // the answer the run goes by; -1: none (no majority)
  int agreeing = 0;   // answers in its group, itself included
};

// The best-delay answer of the largest group whose offsets lie within
// `window` seconds of one another; between groups of one size, the one
// with the better delay. With three answers or more the group must be a
// majority; otherwise there is no choice.
NtpChoice ChooseNtpAnswer(const std::vector<NtpAnswer>& answers, double window);

class NtpSource : public ITimeSource {
 public:
  static constexpr int kMaxServers = 4;
  static constexpr double kGroupSeconds = 0.1;

  explicit NtpSource(std::string servers) : servers_(std::move(servers)) {}

  std::optional<TimeReading> Read(std::string& timePageText, ErrorTrap& trap) override;
  std::optional<std::string> ResultLine() const override { return line_; }
  // "3 of 4 agree" when more than one server answered.
  std::string Agreement() const;
  // True when no server answered and a name did not resolve or a request
  // could not be sent.
  bool NetworkDown() const { return answers_.empty() && networkFailures_ > 0; }
  // The other answers' word on the chosen one.
  SecondOpinion Opinion() const;

 private:
  struct Server;
  std::vector<Server> Pick(ErrorTrap& trap);
  void AskAll(std::vector<Server>& servers, ErrorTrap& trap);
  std::string Notes() const;

  std::string servers_;
  std::optional<std::string> line_;
  struct Answer {
    std::string name;   // the server as the user wrote it
    std::string shown;  // its address
    SntpResult result;
  };
  std::vector<Answer> answers_;
  int chosen_ = -1;
  int agreeing_ = 0;
  int networkFailures_ = 0;
  std::vector<std::string> notes_;
};

}  // namespace tavrel
