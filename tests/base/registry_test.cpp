#include <gtest/gtest.h>
#include <windows.h>
#include "winui/registry.h"

namespace {

const char kTestKey[] = "SOFTWARE\\MbRegistryTest";

// Creates the test key in one registry view only, and removes it again.
class ViewKey {
public:
  explicit ViewKey(REGSAM view) : view_(view) {
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    const char path[] = "C:\\Tools\\Shutdown";
    RegSetValueExA(h, "userdir", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof(path));
    const DWORD number = 7;
    RegSetValueExA(h, "number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    const char empty[] = "";
    RegSetValueExA(h, "empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), sizeof(empty));
    RegCloseKey(h);
  }
  ~ViewKey() {
    HKEY soft = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view_, &soft) == ERROR_SUCCESS) {
      RegDeleteKeyA(soft, "MbRegistryTest");
      RegCloseKey(soft);
    }
  }

private:
  REGSAM view_;
};

}  // namespace

TEST(Registry, ReadsStringValuesOfAnOpenedKeyAndEmptyForAnythingElse) {
  ViewKey key(KEY_WOW64_32KEY);
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_TRUE(reg.KeyExists(kTestKey));
  ASSERT_TRUE(reg.OpenKeyReadOnly(std::string("\\") + kTestKey));  // a leading "\" is allowed
  EXPECT_EQ(reg.ReadString("userdir"), "C:\\Tools\\Shutdown");
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_EQ(reg.ReadString("number"), "");  // not a string
  EXPECT_TRUE(reg.ValueExists("number"));
  EXPECT_TRUE(reg.ValueExists("empty"));
  EXPECT_EQ(reg.ReadString("empty"), "");
  EXPECT_FALSE(reg.ValueExists("missing"));
  reg.CloseKey();
  EXPECT_EQ(reg.ReadString("userdir"), "");
  EXPECT_FALSE(reg.ValueExists("userdir"));
}

TEST(Registry, AMissingKeyIsNeitherFoundNorCreated) {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_FALSE(reg.KeyExists("SOFTWARE\\MbNoSuchKey"));
  EXPECT_FALSE(reg.OpenKeyReadOnly("SOFTWARE\\MbNoSuchKey"));
  EXPECT_FALSE(reg.OpenKey("SOFTWARE\\MbNoSuchKey", false));
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_FALSE(reg.KeyExists("SOFTWARE\\MbNoSuchKey"));
}

TEST(Registry, KeysAreReadInThe32BitViewOnly) {
  // Only 64-bit Windows keeps a 64-bit view apart; a 32-bit system has the one registry.
  BOOL wow64 = FALSE;
  if (sizeof(void*) == 4 && (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64))
    GTEST_SKIP() << "no separate 64-bit registry view on a 32-bit system";
  ViewKey key(KEY_WOW64_64KEY);
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_FALSE(reg.KeyExists(kTestKey));
  EXPECT_FALSE(reg.OpenKeyReadOnly(kTestKey));
}
