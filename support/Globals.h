// The program-wide state: set by Main at start-up unless said otherwise,
// read by every module. Texts start empty, numbers 0, references unset.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace tavrel {

class FrmMain;

extern std::string ProgramName;      // "Tavrel": part of every registry path
extern std::string ProductNumber;    // "230": key in the versions file, in log lines
extern std::string UserName;         // logged-on user, trimmed, upper case; "ADMIN"
extern std::string MachineCode;      // nine digits from drive C's serial
extern std::string CompanyName;      // registered organisation, upper case; "NONE"
extern std::string LanguageSetting;  // stored language, default "english"
extern std::string HomePageAddress;  // the maker's home page
extern bool SoundAvailable;          // a wave-output device exists and speech works
extern bool VoiceArmed;              // the spoken time may speak at the next due minute
extern FrmMain* MainForm;            // the one main window
extern ISpeech* SpeechEngine;        // the speech engine once created; unset before and after

// Texts of the language file, numbered 0 to 400.
constexpr int kLanguageTextCount = 401;
extern std::array<std::string, kLanguageTextCount> LanguageTexts;

// The system's version record, refilled by GetWinVersion.
extern OsVersionInfo VersionInfo;

// Time state: the zone record and daylight flag read when the main window
// loads; the user's correction and the last run's seconds difference.
extern TimeZoneInformation TZInfo;
extern bool DaylightActive;
extern int32_t TimeCorrection;   // minutes
extern int16_t SecondsCorrected;

// Back to the state of a new process (for tests).
void ResetProgramState();

}  // namespace tavrel
