// The registry service against the real registry of the test prefix, in a
// key of its own below HKEY_CURRENT_USER.
#include "Win32TestSupport.h"

namespace tavrel {
namespace {

const char* const kKey = "Software\\VRN\\TavrelWin32Test";

class RegistryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  void TearDown() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kKey) + "\\Sub").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
  }
  IRegistry& reg = *Sys().registry;

  // The type the registry itself reports for a value.
  static DWORD TypeOf(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return REG_NONE;
    DWORD type = REG_NONE;
    RegQueryValueExA(key, name, nullptr, &type, nullptr, nullptr);
    RegCloseKey(key);
    return type;
  }
};

TEST_F(RegistryTest, StringRoundTripIsStoredAsRegSz) {
  reg.WriteString(RegRoot::CurrentUser, kKey, "Language", "english");
  EXPECT_EQ(TypeOf("Language"), static_cast<DWORD>(REG_SZ));
  const RegValue v = reg.Read(RegRoot::CurrentUser, kKey, "Language");
  EXPECT_EQ(v.type, RegValue::String);
  EXPECT_EQ(v.text, "english");
}

TEST_F(RegistryTest, NumberRoundTripIsStoredAsRegDword) {
  reg.WriteDword(RegRoot::CurrentUser, kKey, "TTS", 4000000000u);
  EXPECT_EQ(TypeOf("TTS"), static_cast<DWORD>(REG_DWORD));
  const RegValue v = reg.Read(RegRoot::CurrentUser, kKey, "TTS");
  EXPECT_EQ(v.type, RegValue::Dword);
  EXPECT_EQ(v.number, 4000000000u);
}

TEST_F(RegistryTest, EmptyTextAndDefaultValueRoundTrip) {
  reg.WriteString(RegRoot::CurrentUser, kKey, "Empty", "");
  EXPECT_EQ(reg.Read(RegRoot::CurrentUser, kKey, "Empty").text, "");
  reg.WriteString(RegRoot::CurrentUser, kKey, "", "default");
  EXPECT_EQ(reg.Read(RegRoot::CurrentUser, std::string(kKey) + "\\", "").text, "default");
}

TEST_F(RegistryTest, ExpandableStringReadsAsText) {
  reg.WriteString(RegRoot::CurrentUser, kKey, "Dummy", "x");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const char text[] = "%SystemRoot%\\msinfo32.exe";
  RegSetValueExA(key, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(key);
  const RegValue v = reg.Read(RegRoot::CurrentUser, kKey, "Path");
  EXPECT_EQ(v.type, RegValue::String);
  EXPECT_EQ(v.text, text);
}

TEST_F(RegistryTest, NamesAreComparedWithoutCase) {
  reg.WriteString(RegRoot::CurrentUser, kKey, "Language", "german");
  EXPECT_EQ(reg.Read(RegRoot::CurrentUser, "SOFTWARE\\vrn\\tavrelwin32test", "LANGUAGE").text, "german");
}

TEST_F(RegistryTest, MissingValueAndMissingKeyAreRuntimeErrors) {
  reg.WriteString(RegRoot::CurrentUser, kKey, "Language", "english");
  EXPECT_EQ(ErrorOf([&] { reg.Read(RegRoot::CurrentUser, kKey, "Nothing"); }), errRegistryAccess);
  EXPECT_EQ(ErrorOf([&] { reg.Read(RegRoot::CurrentUser, std::string(kKey) + "\\Missing", "x"); }),
            errRegistryAccess);
}

TEST_F(RegistryTest, DeletedValueIsGoneAndASecondDeleteFails) {
  reg.WriteString(RegRoot::CurrentUser, kKey, "Tavrel", "C:\\x.exe");
  reg.DeleteValue(RegRoot::CurrentUser, kKey, "Tavrel");
  EXPECT_EQ(ErrorOf([&] { reg.Read(RegRoot::CurrentUser, kKey, "Tavrel"); }), errRegistryAccess);
  EXPECT_EQ(ErrorOf([&] { reg.DeleteValue(RegRoot::CurrentUser, kKey, "Tavrel"); }), errRegistryAccess);
}

TEST_F(RegistryTest, KeyWithSubKeysIsNotDeleted) {
  reg.WriteString(RegRoot::CurrentUser, std::string(kKey) + "\\Sub", "v", "1");
  EXPECT_EQ(ErrorOf([&] { reg.DeleteKey(RegRoot::CurrentUser, kKey); }), errRegistryAccess);
  EXPECT_EQ(reg.Read(RegRoot::CurrentUser, std::string(kKey) + "\\Sub", "v").text, "1");
  reg.DeleteKey(RegRoot::CurrentUser, std::string(kKey) + "\\Sub");
  EXPECT_EQ(ErrorOf([&] { reg.Read(RegRoot::CurrentUser, std::string(kKey) + "\\Sub", "v"); }),
            errRegistryAccess);
}

// The zone list's TZI values: bytes both ways, NULs included, and a value
// of the other kind refused by each reader.
TEST_F(RegistryTest, BinaryRoundTripIsStoredAsRegBinaryAndKeepsItsNuls) {
  const std::string bytes("\x2C\x01\x00\x00\xC4\xFF\xFF\xFF\x00", 9);
  reg.WriteBinary(RegRoot::CurrentUser, kKey, "TZI", bytes);
  EXPECT_EQ(TypeOf("TZI"), static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(reg.ReadBinary(RegRoot::CurrentUser, kKey, "TZI"), bytes);
  EXPECT_EQ(ErrorOf([&] { reg.Read(RegRoot::CurrentUser, kKey, "TZI"); }), errTypeMismatch);
  reg.WriteString(RegRoot::CurrentUser, kKey, "Std", "Eastern Standard Time");
  EXPECT_EQ(ErrorOf([&] { reg.ReadBinary(RegRoot::CurrentUser, kKey, "Std"); }), errTypeMismatch);
  EXPECT_EQ(ErrorOf([&] { reg.ReadBinary(RegRoot::CurrentUser, kKey, "Nothing"); }), errRegistryAccess);
}

TEST_F(RegistryTest, SubKeysAreListedAsSpelled) {
  reg.WriteString(RegRoot::CurrentUser, std::string(kKey) + "\\Sub", "Std", "x");
  EXPECT_EQ(reg.SubKeys(RegRoot::CurrentUser, kKey), std::vector<std::string>{"Sub"});
  EXPECT_TRUE(reg.SubKeys(RegRoot::CurrentUser, std::string(kKey) + "\\Sub").empty());
  EXPECT_EQ(ErrorOf([&] { reg.SubKeys(RegRoot::CurrentUser, std::string(kKey) + "\\Missing"); }),
            errRegistryAccess);
}

TEST_F(RegistryTest, MachineWideKeysAreWritableInTheTestPrefix) {
  const std::string key = "Software\\VRN\\TavrelWin32Test";
  reg.WriteString(RegRoot::LocalMachine, key, "ProgramVersion", "3.10.1");
  EXPECT_EQ(reg.Read(RegRoot::LocalMachine, key, "ProgramVersion").text, "3.10.1");
  reg.DeleteValue(RegRoot::LocalMachine, key, "ProgramVersion");
  reg.DeleteKey(RegRoot::LocalMachine, key);
}

}  // namespace
}  // namespace tavrel
