// Registry reads on awkward data, enumeration, deletion and root names.
#include <gtest/gtest.h>

#include "sys/Registry.h"
#include "tests/support/Sandbox.h"

using namespace sys;
using namespace testsupport;

class RegistryTest : public SandboxTest {};

TEST_F(RegistryTest, StringReadsSurviveMissingTerminatorsAndOddSizes) {
  RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.Create(HKEY_CURRENT_USER, L"Software\\T"));
  struct Case {
    const wchar_t* name;
    std::string bytes;
    DWORD type;
    const wchar_t* expected;
  } cases[] = {
      {L"terminated", std::string("a\0b\0\0\0", 6), REG_SZ, L"ab"},
      {L"unterminated", std::string("a\0b\0", 4), REG_SZ, L"ab"},
      {L"odd", std::string("a\0b\0c", 5), REG_SZ, L"ab"},
      {L"one byte", std::string("a", 1), REG_SZ, L""},
      {L"empty", std::string(), REG_SZ, L""},
      {L"inner nul", std::string("a\0\0\0b\0", 6), REG_SZ, L"a"},
      {L"expand", std::string("%\0x\0%\0\0\0", 8), REG_EXPAND_SZ, L"%x%"},
      {L"multi", std::string("a\0\0\0b\0\0\0\0\0", 10), REG_MULTI_SZ, L"a"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(k.Handle(), c.name, 0, c.type,
                                            reinterpret_cast<const BYTE*>(c.bytes.data()),
                                            DWORD(c.bytes.size())));
    std::wstring v = L"junk";
    EXPECT_EQ(ERROR_SUCCESS, k.ReadString(c.name, v)) << c.name;
    EXPECT_EQ(c.expected, v) << c.name;
  }
  // Wrong types and absent values clear the result.
  k.WriteInteger(L"dword", 7);
  std::wstring v = L"junk";
  EXPECT_NE(ERROR_SUCCESS, k.ReadString(L"dword", v));
  EXPECT_EQ(L"", v);
  v = L"junk";
  EXPECT_NE(ERROR_SUCCESS, k.ReadString(L"absent", v));
  EXPECT_EQ(L"", v);
  DWORD d = 99;
  EXPECT_EQ(ERROR_SUCCESS, k.ReadInteger(L"dword", d));
  EXPECT_EQ(7u, d);
  EXPECT_NE(ERROR_SUCCESS, k.ReadInteger(L"terminated", d));
  EXPECT_EQ(0u, d);
  // A long value is read whole.
  std::wstring longText(5000, L'字');
  k.WriteString(L"long", longText);
  EXPECT_EQ(longText, k.ReadString(L"long"));
}

TEST_F(RegistryTest, EnumerationInfoAndTreeDeletion) {
  SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A\\one\\deep\\deeper", L"v", L"1");
  SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A\\two", L"", L"default");
  SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A", L"x", 1);
  SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A", L"y", 2);
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A\\one"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\B"));
  EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}),
            GetRegSubKeyNames(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A"));
  EXPECT_TRUE(GetRegSubKeyNames(HKEY_LOCAL_MACHINE, L"SOFTWARE\\B").empty());

  RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.OpenRead(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A"));
  DWORD subs = 0, values = 0;
  EXPECT_EQ(ERROR_SUCCESS, k.KeyInfo(subs, values));
  EXPECT_EQ(2u, subs);
  EXPECT_EQ(2u, values);
  EXPECT_TRUE(k.HasSubKeys());
  EXPECT_EQ((std::vector<std::wstring>{L"x", L"y"}), k.ValueNames());
  EXPECT_EQ(DWORD(REG_DWORD), k.ValueType(L"x"));
  EXPECT_EQ(DWORD(REG_NONE), k.ValueType(L"z"));
  k.Close();

  ASSERT_EQ(ERROR_SUCCESS, k.OpenWrite(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A"));
  EXPECT_EQ(ERROR_SUCCESS, k.DeleteKey(L"one"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A\\one"));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A\\two"));
  EXPECT_EQ(ERROR_SUCCESS, k.DeleteValue(L"x"));
  EXPECT_FALSE(k.ValueExists(L"x"));
  EXPECT_NE(ERROR_SUCCESS, DeleteKeyTree(HKEY_LOCAL_MACHINE, L""));  // never a root
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE"));
}

TEST(RegistryRootsTest, NamesMapBothWays) {
  struct Case {
    const wchar_t* name;
    HKEY root;
  } cases[] = {
      {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKEY_USERS", HKEY_USERS},
      {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.root, RootFromName(c.name));
    EXPECT_EQ(c.name, RootName(c.root));
  }
  EXPECT_EQ(HKEY_CURRENT_USER, RootFromName(L"HKCU"));
  EXPECT_EQ(nullptr, RootFromName(L"hkey_current_user"));  // names are case-sensitive
  EXPECT_EQ(nullptr, RootFromName(L"HKEY_"));
  EXPECT_EQ(L"", RootName(reinterpret_cast<HKEY>(0x1234)));
}
