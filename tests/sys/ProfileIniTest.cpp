// INI profile access: text forms, ANSI storage, order of keys and write failures.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sys/ProfileIni.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"

using namespace sys;

namespace {
std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(ToAnsi(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

class ProfileIniTest : public testsupport::SandboxTest {};

TEST_F(ProfileIniTest, RoundTripsEveryKindAndStaysAnsi) {
  ProfileIni ini(sandbox / L"Halvane.set");
  ini.WriteString(L"TraceScanOption", L"IE缓存", L"中文值");
  ini.WriteInteger(L"TraceScanOption", L"IETraceCleanMode", -1);
  ini.WriteBool(L"TraceScanOption", L"b", true);
  ini.WriteFloat(L"TraceScanOption", L"f", double(0.1f));
  SYSTEMTIME when = {};
  when.wYear = 2026;
  when.wMonth = 12;
  when.wDay = 8;
  when.wHour = 23;
  when.wMinute = 5;
  when.wSecond = 9;
  ini.WriteDate(L"TraceScanOption", L"d", when);

  EXPECT_EQ(L"中文值", ini.ReadString(L"TraceScanOption", L"IE缓存"));
  EXPECT_EQ(-1, ini.ReadInteger(L"TraceScanOption", L"IETraceCleanMode", 5));
  EXPECT_TRUE(ini.ReadBool(L"TraceScanOption", L"b", false));
  EXPECT_EQ(L"0.100000001490116", ini.ReadString(L"TraceScanOption", L"f"));
  EXPECT_DOUBLE_EQ(0.100000001490116, ini.ReadFloat(L"TraceScanOption", L"f", 0));
  SYSTEMTIME back = {};
  ASSERT_TRUE(ini.ReadDate(L"TraceScanOption", L"d", back));
  EXPECT_EQ(L"2026-12-08 23:05:09", ProfileIni::DateText(back));
  EXPECT_EQ(L"2026-12-08 23:05:09", ini.ReadString(L"TraceScanOption", L"d"));

  // The file is GBK text, as other programs and older versions read it.
  std::string bytes = ReadBytes(ini.File());
  EXPECT_NE(std::string::npos, bytes.find("IE\xBB\xBA\xB4\xE6=\xD6\xD0\xCE\xC4\xD6\xB5"));
  EXPECT_EQ(std::string::npos, bytes.find("\xEF\xBB\xBF"));  // no BOM
}

TEST_F(ProfileIniTest, MalformedValuesGiveTheDefault) {
  std::wstring file = sandbox.file(L"x.ini",
                                   "[s]\r\nint=12x\r\nhex=$1F\r\nhex2=0x10\r\nneg=-7\r\n"
                                   "empty=\r\nfloat=abc\r\nfloat2=2.5\r\ndate=2023-02-30 10:00:00\r\n"
                                   "date2=yesterday\r\nbool=0\r\nhuge=1e400\r\nnan=nan\r\ninf=-inf\r\n");
  ProfileIni ini(file);
  struct Case {
    const wchar_t* key;
    int expected;
  } ints[] = {{L"int", 99}, {L"hex", 31}, {L"hex2", 16}, {L"neg", -7}, {L"empty", 99},
              {L"missing", 99}};
  for (const Case& c : ints) EXPECT_EQ(c.expected, ini.ReadInteger(L"s", c.key, 99)) << c.key;
  EXPECT_DOUBLE_EQ(1.5, ini.ReadFloat(L"s", L"float", 1.5));
  EXPECT_DOUBLE_EQ(2.5, ini.ReadFloat(L"s", L"float2", 1.5));
  for (const wchar_t* notFinite : {L"huge", L"nan", L"inf"})
    EXPECT_DOUBLE_EQ(1.5, ini.ReadFloat(L"s", notFinite, 1.5)) << ToUtf8(notFinite);
  SYSTEMTIME t = {};
  EXPECT_FALSE(ini.ReadDate(L"s", L"date", t));
  EXPECT_FALSE(ini.ReadDate(L"s", L"date2", t));
  EXPECT_FALSE(ini.ReadBool(L"s", L"bool", true));
  EXPECT_TRUE(ini.ReadBool(L"s", L"missing", true));
  EXPECT_TRUE(ini.KeyExists(L"s", L"empty"));
  EXPECT_FALSE(ini.KeyExists(L"s", L"missing"));
}

TEST_F(ProfileIniTest, KeysInFileOrderEraseAndDelete) {
  std::wstring file = sandbox.file(L"o.ini", "[b]\r\nz=1\r\na=2\r\nm=3\r\n[a]\r\nk=1\r\n");
  ProfileIni ini(file);
  EXPECT_EQ((std::vector<std::wstring>{L"z", L"a", L"m"}), ini.SectionKeys(L"b"));
  EXPECT_EQ((std::vector<std::wstring>{L"b", L"a"}), ini.Sections());
  ini.DeleteKey(L"b", L"a");
  EXPECT_EQ((std::vector<std::wstring>{L"z", L"m"}), ini.SectionKeys(L"b"));
  ini.EraseSection(L"b");
  EXPECT_TRUE(ini.SectionKeys(L"b").empty());
  EXPECT_EQ(L"1", ini.ReadString(L"a", L"k"));
}

TEST_F(ProfileIniTest, AFailedWriteRaisesWithTheFileName) {
  std::wstring file = sandbox / L"no-such-folder\\Halvane.set";
  ProfileIni ini(file);
  try {
    ini.WriteString(L"s", L"k", L"v");
    FAIL() << "no error raised";
  } catch (const ProfileWriteError& e) {
    EXPECT_EQ("Unable to write to " + ToAnsi(file), e.what());
    EXPECT_EQ(file, e.File());
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), e.Error());
  }
}
