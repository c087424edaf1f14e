// A fresh program for every test: the in-memory platform installed and the
// program-wide state as in a new process.
#pragma once

#include <gtest/gtest.h>

#include "platform/memory/MemoryPlatform.h"
#include "support/Globals.h"
#include "support/VRN_ErrorLog.h"
#include "timesync/NtpServerBook.h"

namespace tavrel {

// The version record of Windows XP (NT 5.1, build 2600).
inline OsVersionInfo WindowsXp() {
  OsVersionInfo xp;
  xp.dwMajorVersion = 5;
  xp.dwMinorVersion = 1;
  xp.dwBuildNumber = 2600;
  xp.dwPlatformId = 2;
  return xp;
}

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    ResetProgramState();
    ResetErrorLogState();
    TheNtpServerBook().Clear();
    ProgramName = "Tavrel";
    ProductNumber = "230";
  }
  ~ProgramTest() override { ResetProgramState(); }

  MemoryPlatform sys;
};

}  // namespace tavrel
