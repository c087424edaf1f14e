// Sound and speech: whether there is a sound card, the speech engine's
// set-up (with the download hint when there is no engine), and speaking a
// text through it.
#pragma once

#include <string>

namespace tavrel {

// True when the computer has a wave-output device; kept in SoundAvailable.
bool HasSound();
// Creates the speech engine into SpeechEngine and registers the program
// with it. Without an engine: no sound, and once per loss of the engine a
// hint where to download one.
void Ini_TTS();

// Starts speaking `text` in the background (speak flags kSpeakAsync).
// Raises 91 when there is no engine, or the engine's own error.
void SpeakText(const std::string& text);
// Lets the engine go (the main window unloads).
void ReleaseSpeechEngine();

// The two installers the hint offers.
std::string SpeechRuntimeUrl();
std::string VoiceEngineUrl();

}  // namespace tavrel
