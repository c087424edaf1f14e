// The speech engine against the system's SAPI. A computer may have no voice
// at all (Wine often has none that speaks); what must hold everywhere is
// that a missing engine is error 429, speaking without one is 91, and a
// refused text is a run-time error rather than a hang or a crash.
#include "Win32TestSupport.h"

#include "platform/win32/Win32Speech.h"

namespace tavrel {
namespace {

TEST(SpeechWin32Test, SpeakingWithoutAnEngineIsObjectNotSet) {
  Win32Speech speech;
  EXPECT_EQ(errObjectNotSet, ErrorOf([&] { speech.Speak("nobody hears this", kSpeakAsync); }));
  EXPECT_EQ(errObjectNotSet, ErrorOf([&] { speech.Register("", "A_Tavrel"); }));
}

TEST(SpeechWin32Test, AnEngineIsCreatedOrReportedMissingAndSpeaksWithoutWaiting) {
  Win32Speech speech;
  const long created = ErrorOf([&] { speech.Create(); });
  if (created == errCantCreateObject) GTEST_SKIP() << "no SAPI voice on this system";
  ASSERT_EQ(0, created);
  EXPECT_EQ(0, ErrorOf([&] { speech.Register("", "A_Tavrel"); }));
  // Spoken in the background, or refused as an automation error.
  const long spoken = ErrorOf([&] { speech.Speak("test", kSpeakAsync); });
  EXPECT_TRUE(spoken == 0 || spoken == errAutomation) << spoken;

  speech.Release();
  EXPECT_EQ(errObjectNotSet, ErrorOf([&] { speech.Speak("after release", kSpeakAsync); }));
  // A second engine after the first was let go.
  EXPECT_EQ(0, ErrorOf([&] { speech.Create(); }));
  speech.Release();
}

}  // namespace
}  // namespace tavrel
