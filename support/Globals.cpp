#include "support/Globals.h"

namespace tavrel {

std::string ProgramName;
std::string ProductNumber;
std::string UserName;
std::string MachineCode;
std::string CompanyName;
std::string LanguageSetting;
std::string HomePageAddress;
bool SoundAvailable = false;
bool VoiceArmed = false;
FrmMain* MainForm = nullptr;
ISpeech* SpeechEngine = nullptr;
std::array<std::string, kLanguageTextCount> LanguageTexts;
OsVersionInfo VersionInfo;
TimeZoneInformation TZInfo;
bool DaylightActive = false;
int32_t TimeCorrection = 0;
int16_t SecondsCorrected = 0;

void ResetProgramState() {
  ProgramName.clear();
  ProductNumber.clear();
  UserName.clear();
  MachineCode.clear();
  CompanyName.clear();
  LanguageSetting.clear();
  HomePageAddress.clear();
  SoundAvailable = false;
  VoiceArmed = false;
  MainForm = nullptr;
  SpeechEngine = nullptr;
  LanguageTexts.fill(std::string());
  VersionInfo = OsVersionInfo();
  TZInfo = TimeZoneInformation();
  DaylightActive = false;
  TimeCorrection = 0;
  SecondsCorrected = 0;
}

}  // namespace tavrel
