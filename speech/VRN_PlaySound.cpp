#include "speech/VRN_PlaySound.h"

#include "app/A_Tavrel_Main.h"
#include "platform/Forms.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/VRN_Registry.h"

namespace tavrel {

namespace {

// Microsoft's download server for ActiveX controls, where the speech
// runtime and the voice engine for Microsoft Agent are offered.
const char* const kDownloadHost = "http://activex.microsoft.com";

}  // namespace

std::string SpeechRuntimeUrl() { return std::string(kDownloadHost) + "/activex/controls/sapi/spchapi.exe"; }
std::string VoiceEngineUrl() { return std::string(kDownloadHost) + "/activex/controls/agent2/tv_enua.exe"; }

namespace {

const char* const kProcedure = " Ini_TTS of Modul VRN_PlaySound ";
// -1 after a set-up that worked, 0 once the hint was shown: the hint comes
// once per loss of the engine, not at every start.
const char* const kTtsValue = "TTS";

void SaveTts(int64_t value) {
  SaveMachineSetting(MachineSettingsApplication(), "Settings", kTtsValue, RegVariant::Of(value));
}

std::string DownloadHint() {
  const char* const crlf = "\r\n";
  return LanguageTexts[52] + crlf + LanguageTexts[53] + crlf + "Download url: " + SpeechRuntimeUrl() + crlf +
         "Download url: " + VoiceEngineUrl() + crlf + LanguageTexts[54] + crlf + crlf + LanguageTexts[55] + crlf +
         LanguageTexts[56] + crlf + crlf + LanguageTexts[57];
}

// No engine: no speech, and the hint unless it was shown since the engine
// was last seen working.
void WithoutEngine() {
  ErrorTrap trap(ProductSource(), kProcedure);
  trap(110, [] { SoundAvailable = false; });
  bool shownBefore = false;
  trap(120, [&] {
    const RegVariant tts = GetMachineSetting(MachineSettingsApplication(), "Settings", kTtsValue,
                                             RegVariant::Of(int64_t{-1}));
    shownBefore = tts.AsText() == "0";
  });
  if (shownBefore) return;
  int answer = vbCancel;
  trap(130, [&] { answer = Sys().windows->MessageBox(DownloadHint(), LanguageTexts[23], vbOKCancel | vbSystemModal); });
  trap(140, [] { SaveTts(0); });
  if (answer != vbOK) return;
  trap(150, [] { Sys().downloads->DownloadFile(SpeechRuntimeUrl()); });
  trap(160, [] { Sys().downloads->DownloadFile(VoiceEngineUrl()); });
}

}  // namespace

bool HasSound() {
  ErrorTrap trap(ProductSource(), "HasSound of Modul VRN_PlaySound");
  bool result = false;
  trap(10, [&] { result = Sys().sound->WaveOutDeviceCount() > 0; });
  trap(20, [&] { SoundAvailable = result; });
  return result;
}

// A failure here is what the fall-back is for, so it is not reported: the
// hint says all the user can do about it.
void Ini_TTS() {
  const bool ready = ErrorTrap::Quietly([] {
    ISpeech* engine = Sys().speech;
    if (!engine) Raise(errCantCreateObject);
    engine->Create();
    SpeechEngine = engine;
    if (SoundAvailable) SpeechEngine->Register("", Sys().process->ExeName());
    SaveTts(-1);
  });
  if (!ready) WithoutEngine();
}

void SpeakText(const std::string& text) {
  if (!SpeechEngine) Raise(errObjectNotSet);
  SpeechEngine->Speak(text, kSpeakAsync);
}

void ReleaseSpeechEngine() {
  ISpeech* engine = SpeechEngine;
  SpeechEngine = nullptr;
  if (engine) engine->Release();
}

}  // namespace tavrel
