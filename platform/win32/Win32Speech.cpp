// Speech through SAPI 5's voice object. Its Speak takes wide text and
// speaks on a thread of its own when asked to (SPF_ASYNC), so the program
// never waits for the end of a sentence. SAPI 5 asks no program to
// register: Register only checks there is a voice.
//
// DoFileDownload lives in shdocvw.dll, which not every system has and the
// program must not depend on at load time: it is looked up when needed,
// and where it is missing the address goes to the browser instead.
#include "platform/win32/Win32Speech.h"

#include <vector>

#include "platform/win32/Win32.h"

#include <sapi.h>

namespace tavrel {
namespace {

// The two identifiers SAPI's header only declares; spelled out here so that
// no import library of GUIDs is needed.
const CLSID kClsidSpVoice = {0x96749377, 0x3391, 0x11d2, {0x9e, 0xe3, 0x00, 0xc0, 0x4f, 0x79, 0x73, 0x96}};
const IID kIidISpVoice = {0x6c44df74, 0x72b9, 0x4992, {0xa1, 0xec, 0xef, 0x99, 0x6e, 0x04, 0x22, 0xd4}};

// The program's text in the ANSI code page, as UTF-16.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

// The program's flag 16 is "asynchronous"; SAPI 5 spells it SPF_ASYNC.
DWORD SapiFlags(uint32_t flags) { return (flags & kSpeakAsync) ? SPF_ASYNC : SPF_DEFAULT; }

typedef HRESULT(WINAPI* DoFileDownloadProc)(LPCWSTR url);

}  // namespace

void Win32Speech::Create() {
  if (voice_) return;
  // The window system may have initialised COM on this thread already; a
  // second call then only counts up, which is harmless for a process that
  // keeps COM until it ends.
  static const HRESULT initialised = CoInitialize(nullptr);
  (void)initialised;
  void* voice = nullptr;
  const HRESULT hr = CoCreateInstance(kClsidSpVoice, nullptr, CLSCTX_ALL, kIidISpVoice, &voice);
  if (FAILED(hr) || !voice) Raise(errCantCreateObject);
  voice_ = static_cast<ISpVoice*>(voice);
}

void Win32Speech::Register(const std::string&, const std::string&) {
  if (!voice_) Raise(errObjectNotSet);
}

void Win32Speech::Speak(const std::string& text, uint32_t flags) {
  if (!voice_) Raise(errObjectNotSet);
  const std::wstring wide = Wide(text);
  const HRESULT hr = voice_->Speak(wide.c_str(), SapiFlags(flags), nullptr);
  if (FAILED(hr)) {
    char description[48];
    wsprintfA(description, "Automation error (0x%08lX)", static_cast<unsigned long>(hr));
    Raise(errAutomation, description);
  }
}

void Win32Speech::Release() {
  if (!voice_) return;
  voice_->Release();
  voice_ = nullptr;
}

void Win32Downloads::DownloadFile(const std::string& url) {
  HMODULE shdocvw = LoadLibraryA("shdocvw.dll");
  // Through void*: FARPROC's own type says nothing about the arguments.
  DoFileDownloadProc download =
      shdocvw ? reinterpret_cast<DoFileDownloadProc>(
                    reinterpret_cast<void*>(GetProcAddress(shdocvw, "DoFileDownload")))
              : nullptr;
  if (download) {
    const std::wstring wide = Wide(url);
    download(wide.c_str());
  } else {
    ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  // The download dialogue runs on in the library; it stays loaded.
}

}  // namespace tavrel
