#include "timesync/NtpSource.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "support/Text.h"
#include "timesync/NtpPacket.h"
#include "timesync/NtpServerBook.h"
#include "timesync/WebAsker.h"

namespace tavrel {

// One address asked in this run, with the name the user gave it.
struct NtpSource::Server {
  std::string name;  // the entry as the user wrote its host
  NetAddress address;
  uint16_t port = 123;
  std::unique_ptr<SntpClient> client;

  // "192.0.2.1", "[2001:db8::1]:1123": the address for the result line.
  std::string Shown() const {
    const std::string host = address.family == NetAddress::IPv6 ? "[" + address.Text() + "]" : address.Text();
    return port == 123 ? host : host + ":" + std::to_string(port);
  }
  // The book's key: the port always.
  std::string Key() const {
    const std::string host = address.family == NetAddress::IPv6 ? "[" + address.Text() + "]" : address.Text();
    return host + ":" + std::to_string(port);
  }
};

namespace {

// Runs a statement through the trap, counting the failures a network that
// is down gives.
template <class Statement>
bool Counted(ErrorTrap& trap, int line, int& networkFailures, Statement&& statement) {
  return trap(line, [&] {
    try {
      statement();
    } catch (const RuntimeError& e) {
      if (IsNetworkFailure(e.Number())) ++networkFailures;
      throw;
    }
  });
}

}  // namespace

std::vector<std::string> SplitNtpServerList(const std::string& text) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start <= text.size() && static_cast<int>(entries.size()) < NtpSource::kMaxServers) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string entry = text.substr(start, comma - start);
    if (!Trim(entry).empty()) entries.push_back(entry);
    start = comma + 1;
  }
  if (entries.empty()) entries.push_back("");
  return entries;
}

NtpChoice ChooseNtpAnswer(const std::vector<NtpAnswer>& answers, double window) {
  std::vector<int> byOffset(answers.size());
  for (std::size_t i = 0; i < answers.size(); ++i) byOffset[i] = static_cast<int>(i);
  std::sort(byOffset.begin(), byOffset.end(),
            [&](int a, int b) { return answers[a].offset < answers[b].offset; });
  NtpChoice choice;
  // Every group of offsets within the window starts at some answer: from
  // each, take in all that follow within reach.
  for (std::size_t first = 0; first < byOffset.size(); ++first) {
    int best = byOffset[first];
    std::size_t last = first;
    while (last + 1 < byOffset.size() &&
           answers[byOffset[last + 1]].offset - answers[byOffset[first]].offset <= window) {
      ++last;
      if (answers[byOffset[last]].delay < answers[best].delay) best = byOffset[last];
    }
    const int size = static_cast<int>(last - first + 1);
    if (size > choice.agreeing || (size == choice.agreeing && answers[best].delay < answers[choice.index].delay)) {
      choice.index = best;
      choice.agreeing = size;
    }
  }
  if (answers.size() >= 3 && choice.agreeing * 2 <= static_cast<int>(answers.size())) return NtpChoice{};
  return choice;
}

// The entries' addresses, first ones first: the first address of every
// name, then every second address, and so on, up to kMaxServers that get
// a socket and that the book lets us ask. A name that does not resolve is
// reported at 300, as a malformed entry is.
std::vector<NtpSource::Server> NtpSource::Pick(ErrorTrap& trap) {
  // Each entry on its own, so that one mistyped server leaves the others.
  std::vector<NtpServerAddress> entries;
  for (const std::string& text : SplitNtpServerList(servers_))
    trap(300, [&] { entries.push_back(ParseNtpServer(text)); });
  std::vector<std::vector<NetAddress>> addresses(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i)
    Counted(trap, 300, networkFailures_, [&] { addresses[i] = Sys().udp->Resolve(entries[i].host); });

  std::vector<Server> picked;
  std::vector<std::string> keys;
  std::optional<RuntimeError> socketFailure;
  const uint32_t now = Sys().clock->TickCount();
  for (std::size_t round = 0; static_cast<int>(picked.size()) < kMaxServers; ++round) {
    bool any = false;
    for (std::size_t i = 0; i < entries.size() && static_cast<int>(picked.size()) < kMaxServers; ++i) {
      if (round >= addresses[i].size()) continue;
      any = true;
      Server s;
      s.name = entries[i].host;
      s.address = addresses[i][round];
      s.port = entries[i].port;
      if (std::find(keys.begin(), keys.end(), s.Key()) != keys.end()) continue;
      keys.push_back(s.Key());
      const std::string refusal = TheNtpServerBook().Refusal(s.Key(), now);
      if (!refusal.empty()) {
        notes_.push_back(s.Shown() + " not asked: " + refusal);
        continue;
      }
      // A name may resolve to IPv6 on a machine without IPv6 sockets: such
      // an address is passed over.
      s.client = std::make_unique<SntpClient>();
      try {
        s.client->Open(s.address, s.port);
      } catch (const RuntimeError& e) {
        socketFailure = e;
        continue;
      }
      picked.push_back(std::move(s));
    }
    if (!any) break;
  }
  if (picked.empty() && socketFailure) {
    ++networkFailures_;
    trap(300, [&] { throw *socketFailure; });
  }
  return picked;
}

// Round after round, one request to each server that may still be asked,
// so that no server gets two requests back to back.
void NtpSource::AskAll(std::vector<Server>& servers, ErrorTrap& trap) {
  for (int round = 0; round < SntpClient::kRequests; ++round)
    for (Server& s : servers)
      if (s.client->CanRequest()) Counted(trap, 310, networkFailures_, [&] { s.client->Request(); });
  NtpServerBook& book = TheNtpServerBook();
  for (Server& s : servers) {
    if (s.client->RequestsSent() > 0) book.Asked(s.Key(), Sys().clock->TickCount());
    const std::string& kiss = s.client->KissCode();
    if (!kiss.empty()) book.Kissed(s.Key(), kiss);
    if (kiss == "RATE")
      notes_.push_back(s.Shown() + " said RATE: next ask in " + std::to_string(book.IntervalMs(s.Key()) / 1000) +
                       " s");
    else if (!kiss.empty())
      notes_.push_back(s.Shown() + " said " + kiss + ": not asked again");
  }
}

std::string NtpSource::Notes() const {
  std::string text;
  for (const std::string& note : notes_) text += (text.empty() ? "" : "; ") + note;
  return text;
}

std::optional<TimeReading> NtpSource::Read(std::string& timePageText, ErrorTrap& trap) {
  std::vector<Server> servers = Pick(trap);
  AskAll(servers, trap);
  std::vector<NtpAnswer> candidates;
  for (Server& s : servers) {
    SntpResult r;
    if (!s.client->Answered()) {
      trap(320, [&] { r = s.client->Result(); });
      continue;
    }
    r = s.client->Result();
    answers_.push_back({s.name, s.Shown(), r});
    candidates.push_back({r.offset, r.delay});
  }
  const NtpChoice choice = ChooseNtpAnswer(candidates, kGroupSeconds);
  chosen_ = choice.index;
  agreeing_ = choice.agreeing;

  const std::string asked = std::to_string(answers_.size()) + " of " + std::to_string(servers.size()) + " answered";
  std::string line;
  if (chosen_ >= 0) {
    line = NtpResultText(answers_[chosen_].result);
    if (servers.size() > 1) line += "; " + asked + ", " + std::to_string(agreeing_) + " agree";
  } else if (!answers_.empty()) {
    line = asked + ", no majority agrees";
  } else if (!servers.empty() || notes_.empty()) {
    line = servers.size() > 1 ? "no valid answer from the NTP servers" : "no valid answer from the NTP server";
  }
  const std::string notes = Notes();
  line_ = line.empty() ? notes : notes.empty() ? line : line + "; " + notes;
  if (chosen_ < 0) return std::nullopt;

  const SntpResult& r = answers_[chosen_].result;
  timePageText = r.serverTime;
  TimeReading reading;
  reading.timeOfDay = false;
  reading.utcOffset = r.offset;
  reading.line = 330;
  reading.source = answers_[chosen_].name;
  reading.quality.stratum = r.stratum + 1;
  reading.quality.referenceId = NtpReferenceId(r.address);
  reading.quality.rootDelay = r.rootDelay + r.delay;
  reading.quality.rootDispersion = r.rootDispersion;
  return reading;
}

std::string NtpSource::Agreement() const {
  if (chosen_ < 0 || answers_.size() < 2) return "";
  return std::to_string(agreeing_) + " of " + std::to_string(answers_.size()) + " agree";
}

SecondOpinion NtpSource::Opinion() const {
  SecondOpinion opinion;
  if (chosen_ < 0) return opinion;
  const double chosen = answers_[chosen_].result.offset;
  for (std::size_t i = 0; i < answers_.size(); ++i) {
    if (static_cast<int>(i) == chosen_) continue;
    const double other = answers_[i].result.offset;
    const bool agrees = std::fabs(other - chosen) <= kAgreeSeconds;
    if (agrees || !opinion.offset) {
      opinion.name = answers_[i].shown;
      opinion.offset = other;
    }
    if (agrees) {
      opinion.agrees = true;
      break;
    }
  }
  return opinion;
}

}  // namespace tavrel
