#include "timesync/NtpServer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "support/ErrorTrap.h"
#include "support/Text.h"

namespace tavrel {
namespace {

const char* const kProcedure = "NtpServer of Modul VRN_TimeSync";

double SecondsFrom(DateTime from, DateTime to) { return (to.Serial() - from.Serial()) * 86400.0; }

}  // namespace

bool IsServedPortText(const std::string& text) {
  const std::string t = Trim(text);
  return t.empty() || t.front() == ':';
}

uint16_t ParseServedPort(const std::string& text) {
  if (!IsServedPortText(text)) Raise(errInvalidPropertyValue, "Invalid NTP port '" + text + "'");
  // The port as the client's setting reads one, after an address that
  // stands for every address.
  try {
    return ParseNtpServer("0.0.0.0" + Trim(text)).port;
  } catch (const RuntimeError&) {
    Raise(errInvalidPropertyValue, "Invalid NTP port '" + text + "'");
  }
}

int MeasureClockPrecision(IClock& clock) {
  const uint32_t start = clock.TickCount();
  DateTime previous = clock.NowUtc();
  double step = std::numeric_limits<double>::infinity();
  // Every change is a whole step of the clock (or more); three tell it.
  int changes = 0;
  for (long i = 0; i < 200000 && changes < 3 && static_cast<uint32_t>(clock.TickCount() - start) < 100; ++i) {
    const DateTime now = clock.NowUtc();
    if (now.Serial() == previous.Serial()) continue;
    step = std::min(step, std::fabs(SecondsFrom(previous, now)));
    previous = now;
    ++changes;
  }
  if (std::isinf(step)) {
    // Still within one step after 100 ms: coarser than that. A clock
    // whose tick stood still too (a test's) is taken as fine.
    if (static_cast<uint32_t>(clock.TickCount() - start) < 100) return -20;
    step = 0.1;
  }
  // Rounded up: the server never claims a finer clock than it has. The
  // allowance is the date serial's microsecond in a step of 2^-n seconds.
  return std::clamp(static_cast<int>(std::ceil(std::log2(step) - 0.001)), -30, 0);
}

uint32_t MeasureTickStep(IClock& clock) {
  uint32_t previous = clock.TickCount();
  uint32_t step = 0;
  int changes = 0;
  for (long i = 0; i < 2000000 && changes < 3; ++i) {
    const uint32_t now = clock.TickCount();
    if (now == previous) continue;
    const uint32_t moved = static_cast<uint32_t>(now - previous);
    if (step == 0 || moved < step) step = moved;
    previous = now;
    ++changes;
  }
  // A tick that stood still (a test's) is taken as the usual 16 ms of NT.
  return step == 0 ? 16 : step;
}

NtpServer::NtpServer() : NtpServer(*Sys().udp, *Sys().clock) {}

NtpServer::NtpServer(IUdp& udp, IClock& clock) : udp_(udp), clock_(clock) {}

NtpServer::~NtpServer() = default;

void NtpServer::Serve(uint16_t port) {
  if (port != port_) Stop();
  port_ = port;
  reported_ = false;
  if (!precision_) {
    precision_ = MeasureClockPrecision(clock_);
    tickStepMs_ = MeasureTickStep(clock_);
  }
  Open();
}

void NtpServer::Retry() {
  if (port_ != 0 && !Serving()) ErrorTrap::Quietly([&] { Open(); });
}

void NtpServer::Stop() {
  ipv4_.reset();
  ipv6_.reset();
  port_ = 0;
}

void NtpServer::Open() {
  if (!ipv4_) {
    try {
      ipv4_ = udp_.Listen(NetAddress::IPv4, port_, [this](uint32_t tick) { Readable(NetAddress::IPv4, tick); });
    } catch (const RuntimeError& e) {
      if (e.Number() == errPortInUse)
        Raise(errPortInUse, "Port " + std::to_string(port_) + " is in use by another program");
      throw;
    }
  }
  // Where the system has no IPv6, IPv4 alone is the whole service.
  if (!ipv6_)
    ErrorTrap::Quietly([&] {
      ipv6_ = udp_.Listen(NetAddress::IPv6, port_, [this](uint32_t tick) { Readable(NetAddress::IPv6, tick); });
    });
}

void NtpServer::NoteSynchronised(const SourceQuality& quality) {
  last_ = LastSynchronisation{quality, clock_.NowUtc()};
  lastTick_ = clock_.TickCount();
}

// The larger of the wall clock's and the tick's measure: the tick wraps
// after 49.7 days, and someone may step the clock back meanwhile; either
// way the server rather says it is older than younger.
double NtpServer::AgeSeconds() {
  if (!last_) return 0;
  const double byTick = static_cast<uint32_t>(clock_.TickCount() - lastTick_) / 1000.0;
  return std::max(byTick, SecondsFrom(last_->utc, clock_.NowUtc()));
}

ServedClock NtpServer::Describe() {
  return DescribeServedClock(last_, AgeSeconds(), maxAgeSeconds_, precision_.value_or(-20));
}

void NtpServer::Readable(NetAddress::Family family, uint32_t readyTick) {
  IUdpSocket* socket = family == NetAddress::IPv6 ? ipv6_.get() : ipv4_.get();
  if (!socket) return;
  const uint32_t waitedMs = static_cast<uint32_t>(clock_.TickCount() - readyTick);
  const bool late = waitedMs > kLateMs;
  for (int i = 0; i < kBatch; ++i) {
    const DateTime beforeReceive = clock_.NowUtc();
    std::optional<Datagram> datagram;
    try {
      datagram = socket->Receive(0);
    } catch (const RuntimeError& e) {
      ReportOnce(e);
      return;
    }
    if (!datagram) return;
    // As close to the socket as the program gets. The datagram the system
    // announced was there before the receive began: its time is read
    // before, less what the window made it wait beyond one step of the
    // tick, which keeps it within two steps after the announcement and
    // never before. Any other may have come during the receive: after.
    DateTime received = i == 0 ? beforeReceive : clock_.NowUtc();
    if (i == 0 && waitedMs > tickStepMs_)
      received = received.AddSeconds(-static_cast<double>(waitedMs - tickStepMs_) / 1000.0);
    if (late) {
      ++counts_.late;
      continue;
    }
    Answer(*socket, *datagram, received, clock_.TickCount());
  }
}

void NtpServer::Answer(IUdpSocket& socket, const Datagram& datagram, DateTime received, uint32_t tick) {
  const std::optional<NtpQuery> query = ReadNtpQuery(datagram.bytes);
  // Port 0 is nobody's: no answer can reach it.
  if (!query || datagram.fromPort == 0) {
    ++counts_.dropped;
    return;
  }
  const bool kiss = !limiter_.Allow(datagram.from, tick);
  const ServedClock served = Describe();
  const std::string reply =
      NtpReplyTo(*query, served, ToNtpTimestamp(received), ToNtpTimestamp(clock_.NowUtc()), kiss);
  try {
    socket.SendTo(datagram.from, datagram.fromPort, reply);
  } catch (const RuntimeError& e) {
    ReportOnce(e);
    return;
  }
  ++(kiss ? counts_.kissed : counts_.answered);
}

// A network gone wrong fails every datagram alike: the first failure is
// logged, the rest would only fill the log.
void NtpServer::ReportOnce(const RuntimeError& error) {
  if (reported_) return;
  reported_ = true;
  ErrorTrap trap(kSourceCommon, kProcedure);
  trap(10, [&] { throw error; });
}

}  // namespace tavrel
