// Sound and speech set-up.
#pragma once

namespace tavrel {

// True when the computer has a wave-output device; kept in SoundAvailable.
bool HasSound();
// Creates the speech engine and prepares speech.
void Ini_TTS();

}  // namespace tavrel
