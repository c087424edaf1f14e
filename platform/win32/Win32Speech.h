// The speech engine (SAPI 5 through COM) and the download of a file for
// the user (the shell's download dialogue, or the browser).
#pragma once

#include "platform/Platform.h"

struct ISpVoice;

namespace tavrel {

// Kept for the life of the process like the other services: the voice is
// released when the main window unloads, never at exit, when COM may be gone.
class Win32Speech : public ISpeech {
 public:
  void Create() override;
  void Register(const std::string& site, const std::string& application) override;
  void Speak(const std::string& text, uint32_t flags) override;
  void Release() override;

 private:
  ISpVoice* voice_ = nullptr;
};

class Win32Downloads : public IDownloads {
 public:
  void DownloadFile(const std::string& url) override;
};

}  // namespace tavrel
