#include "timesync/ZoneUpdate.h"

#include <cstdio>
#include <vector>

#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Text.h"
#include "support/VRN_ErrorLog.h"
#include "support/VRN_File_Dir.h"
#include "support/VRN_GetSystemInfos.h"

namespace tavrel {
namespace {

constexpr uint32_t kPlatformNT = 2;
constexpr std::size_t kTziSize = 44;
constexpr std::size_t kRecordSize = 172;  // TIME_ZONE_INFORMATION

// ---------------------------------------------------------------------------
// Records as bytes, little-endian as Windows keeps them.

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutDate(std::string& out, const SystemTime& st) {
  for (uint16_t field : {st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond,
                         st.wMilliseconds})
    Put(out, field, 2);
}

void PutName(std::string& out, const char16_t (&name)[32]) {
  for (char16_t c : name) Put(out, c, 2);
}

class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  uint32_t Get(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[pos_++])) << (8 * i);
    return value;
  }
  int32_t Long() { return static_cast<int32_t>(Get(4)); }
  SystemTime Date() {
    SystemTime st;
    for (uint16_t* field : {&st.wYear, &st.wMonth, &st.wDayOfWeek, &st.wDay, &st.wHour, &st.wMinute, &st.wSecond,
                            &st.wMilliseconds})
      *field = static_cast<uint16_t>(Get(2));
    return st;
  }
  void Name(char16_t (&name)[32]) {
    for (char16_t& c : name) c = static_cast<char16_t>(Get(2));
  }

 private:
  const std::string& bytes_;
  std::size_t pos_ = 0;
};

std::string RecordBytes(const TimeZoneInformation& r) {
  std::string out;
  Put(out, static_cast<uint32_t>(r.Bias), 4);
  PutName(out, r.StandardName);
  PutDate(out, r.StandardDate);
  Put(out, static_cast<uint32_t>(r.StandardBias), 4);
  PutName(out, r.DaylightName);
  PutDate(out, r.DaylightDate);
  Put(out, static_cast<uint32_t>(r.DaylightBias), 4);
  return out;
}

std::optional<TimeZoneInformation> FromRecordBytes(const std::string& bytes) {
  if (bytes.size() != kRecordSize) return std::nullopt;
  TimeZoneInformation r;
  Reader in(bytes);
  r.Bias = in.Long();
  in.Name(r.StandardName);
  r.StandardDate = in.Date();
  r.StandardBias = in.Long();
  in.Name(r.DaylightName);
  r.DaylightDate = in.Date();
  r.DaylightBias = in.Long();
  return r;
}

std::string ToHex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    text += kDigits[(static_cast<uint8_t>(c) >> 4) & 0xF];
    text += kDigits[static_cast<uint8_t>(c) & 0xF];
  }
  return text;
}

std::optional<std::string> FromHex(const std::string& text) {
  if (text.size() % 2) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int value = 0;
    for (char c : {text[i], text[i + 1]}) {
      const char u = UCase(std::string(1, c))[0];
      if (u >= '0' && u <= '9') value = value * 16 + (u - '0');
      else if (u >= 'A' && u <= 'F') value = value * 16 + (u - 'A' + 10);
      else return std::nullopt;
    }
    bytes += static_cast<char>(value);
  }
  return bytes;
}

// ---------------------------------------------------------------------------
// The saved rules: one section per zone, so that updating a second zone
// keeps what the first one had.
//
//   [Eastern Standard Time]
//   ; (UTC-05:00) Eastern Time (US & Canada)
//   Record=<the record's 172 bytes in hexadecimal>
//   TZI=<the list entry's 44 bytes; empty when there was none>

struct SavedRules {
  TimeZoneInformation record;
  std::optional<std::string> tzi;
};

struct SavedSection {
  std::string key;
  std::vector<std::string> lines;
};

const char* const kSavedHeader =
    "; The time-zone rules this computer had before A_Tavrel's \"Update daylight-saving rules\".\r\n";

// The file as it is; nothing when there is none or it cannot be read.
std::optional<std::string> SavedText() {
  std::string text;
  if (!ErrorTrap::Quietly([&] { text = Sys().files->ReadAll(SavedRulesPath()); })) return std::nullopt;
  return text;
}

std::vector<SavedSection> ReadSections() {
  const std::string text = SavedText().value_or(std::string());
  std::vector<SavedSection> sections;
  for (const std::string& raw : SplitLines(text)) {
    const std::string line = Trim(raw);
    if (line.size() > 2 && line.front() == '[' && line.back() == ']')
      sections.push_back({line.substr(1, line.size() - 2), {}});
    else if (!sections.empty() && !line.empty())
      sections.back().lines.push_back(line);
  }
  return sections;
}

std::string ValueOf(const SavedSection& section, const std::string& name) {
  for (const std::string& line : section.lines)
    if (UCase(Left(line, static_cast<long>(name.size()) + 1)) == UCase(name) + "=") return line.substr(name.size() + 1);
  return std::string();
}

// A section that does not read back whole counts as none: it cannot be put
// back, and nothing is guessed.
std::optional<SavedRules> LoadSaved(const std::string& key) {
  for (const SavedSection& section : ReadSections()) {
    if (UCase(section.key) != UCase(key)) continue;
    const auto recordBytes = FromHex(ValueOf(section, "Record"));
    if (!recordBytes) return std::nullopt;
    const auto record = FromRecordBytes(*recordBytes);
    if (!record) return std::nullopt;
    SavedRules saved{*record, std::nullopt};
    const std::string tziText = ValueOf(section, "TZI");
    if (!tziText.empty()) {
      const auto tzi = FromHex(tziText);
      if (!tzi || tzi->size() != kTziSize) return std::nullopt;
      saved.tzi = *tzi;
    }
    return saved;
  }
  return std::nullopt;
}

// Replaces this zone's section, keeping the others; the zone's display
// name tells a reader of the file which zone it is. Throws when the file
// cannot be written.
void Save(const std::string& key, const std::string& display, const SavedRules& saved) {
  std::string text = kSavedHeader;
  for (const SavedSection& section : ReadSections()) {
    if (UCase(section.key) == UCase(key)) continue;
    text += "[" + section.key + "]\r\n";
    for (const std::string& line : section.lines) text += line + "\r\n";
  }
  text += "[" + key + "]\r\n; " + display + "\r\nRecord=" + ToHex(RecordBytes(saved.record)) + "\r\nTZI=" +
          (saved.tzi ? ToHex(*saved.tzi) : std::string()) + "\r\n";
  const std::string path = SavedRulesPath();
  CreateDirectoryStruct(sParsePath(path));
  Sys().files->Write(path, text, false);
}

// ---------------------------------------------------------------------------

std::string EntryKey(const std::string& entry) { return ZoneListKey() + "\\" + entry; }

// The entry's TZI value, or nothing when there is no entry or no readable
// value: an entry that could not be put back is never written.
std::optional<std::string> ReadTzi(const std::string& entry) {
  if (entry.empty()) return std::nullopt;
  std::string bytes;
  if (!ErrorTrap::Quietly([&] { bytes = Sys().registry->ReadBinary(RegRoot::LocalMachine, EntryKey(entry), "TZI"); }) ||
      bytes.size() != kTziSize)
    return std::nullopt;
  return bytes;
}

void WriteTzi(const std::string& entry, const std::string& bytes) {
  Sys().registry->WriteBinary(RegRoot::LocalMachine, EntryKey(entry), "TZI", bytes);
}

// Writes the entry (when there is one to write) and then the record; a
// refused record puts the entry back as it was.
void WriteRules(const std::string& entry, const std::optional<std::string>& oldTzi,
                const std::optional<std::string>& newTzi, const TimeZoneInformation& record) {
  const bool entryWritten = !entry.empty() && oldTzi && newTzi;
  if (entryWritten) WriteTzi(entry, *newTzi);
  try {
    Sys().timeZone->Write(record);
  } catch (...) {
    if (entryWritten) ErrorTrap::Quietly([&] { WriteTzi(entry, *oldTzi); });
    throw;
  }
  // The other programs, the task bar's clock among them, read the zone
  // afresh; this program's window too.
  ErrorTrap::Quietly([] { Sys().timeZone->BroadcastSettingChange(); });
  ErrorTrap::Quietly([] { Sys().clock->BroadcastTimeChange(); });
}

bool MaySetTime() { return Sys().clock->MaySetTime(); }

int ThisYear() { return Sys().clock->Now().Year(); }

}  // namespace

std::string RecordName(const char16_t (&name)[32]) {
  std::string text;
  for (char16_t c : name) {
    if (c == 0) continue;
    text += c < 256 ? static_cast<char>(c) : '?';
  }
  return text;
}

std::string ZoneListKey() {
  GetWinVersion();
  return VersionInfo.dwPlatformId == kPlatformNT ? "Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"
                                                 : "Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
}

std::string FindListEntry(const TimeZoneInformation& record) {
  const std::string name = Trim(RecordName(record.StandardName));
  if (name.empty()) return std::string();
  const std::string list = ZoneListKey();
  auto standardName = [&](const std::string& key) {
    std::string text;
    ErrorTrap::Quietly([&] { text = Sys().registry->Read(RegRoot::LocalMachine, list + "\\" + key, "Std").text; });
    return text;
  };
  // Most systems name the entry by its standard name.
  if (standardName(name) == name) return name;
  std::vector<std::string> keys;
  ErrorTrap::Quietly([&] { keys = Sys().registry->SubKeys(RegRoot::LocalMachine, list); });
  for (const std::string& key : keys)
    if (standardName(key) == name) return key;
  return std::string();
}

std::string TziBytes(const TimeZoneInformation& r) {
  std::string out;
  Put(out, static_cast<uint32_t>(r.Bias), 4);
  Put(out, static_cast<uint32_t>(r.StandardBias), 4);
  Put(out, static_cast<uint32_t>(r.DaylightBias), 4);
  PutDate(out, r.StandardDate);
  PutDate(out, r.DaylightDate);
  return out;
}

std::optional<TimeZoneInformation> FromTziBytes(const std::string& bytes, const TimeZoneInformation& names) {
  if (bytes.size() != kTziSize) return std::nullopt;
  TimeZoneInformation r = names;
  Reader in(bytes);
  r.Bias = in.Long();
  r.StandardBias = in.Long();
  r.DaylightBias = in.Long();
  r.StandardDate = in.Date();
  r.DaylightDate = in.Date();
  return r;
}

std::string SavedRulesPath() { return sParsePath(ErrorLogPath()) + "\\timezone.old"; }

ZoneRulesState LookAtZone(const ZoneTable& table, const TimeZoneInformation& record, int year) {
  ZoneRulesState state;
  state.record = record;
  state.listEntry = FindListEntry(record);
  state.key = state.listEntry.empty() ? Trim(RecordName(record.StandardName)) : state.listEntry;
  state.check = CheckZone(table, state.key, record, year);
  const auto saved = LoadSaved(state.key);
  state.canPutBack = saved && !SameRulesInYear(saved->record, record, year);
  return state;
}

ZoneChangeOutcome UpdateZoneRules(const ZoneTable& table) {
  if (!MaySetTime()) return ZoneChangeOutcome::NeedsAdministrator;
  TimeZoneInformation record;
  if (Sys().timeZone->Read(record) == TIME_ZONE_ID_INVALID) return ZoneChangeOutcome::NothingToDo;
  const ZoneRulesState state = LookAtZone(table, record, ThisYear());
  if (state.check.state != ZoneCheck::OutOfDate) return ZoneChangeOutcome::NothingToDo;
  const std::optional<std::string> oldTzi = ReadTzi(state.listEntry);
  const std::optional<std::string> savedBefore = SavedText();
  Save(state.key, state.check.row->display, {record, oldTzi});
  try {
    WriteRules(state.listEntry, oldTzi, TziBytes(state.check.rule), state.check.rule);
  } catch (...) {
    // Nothing changed, so nothing may be offered to put back.
    ErrorTrap::Quietly([&] { Sys().files->Write(SavedRulesPath(), savedBefore.value_or(kSavedHeader), false); });
    throw;
  }
  return ZoneChangeOutcome::Done;
}

ZoneChangeOutcome PutBackZoneRules(const ZoneTable& table) {
  if (!MaySetTime()) return ZoneChangeOutcome::NeedsAdministrator;
  TimeZoneInformation record;
  if (Sys().timeZone->Read(record) == TIME_ZONE_ID_INVALID) return ZoneChangeOutcome::NothingToDo;
  const ZoneRulesState state = LookAtZone(table, record, ThisYear());
  const std::optional<SavedRules> saved = LoadSaved(state.key);
  if (!state.canPutBack || !saved) return ZoneChangeOutcome::NothingToDo;
  WriteRules(state.listEntry, ReadTzi(state.listEntry), saved->tzi, saved->record);
  return ZoneChangeOutcome::Done;
}

}  // namespace tavrel
