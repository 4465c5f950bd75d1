// The in-memory INI: how text lines become sections and keys, and its stream and file forms.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/IniPackage.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"

namespace {

using Keys = std::vector<std::wstring>;

IStream* MemoryStream(const std::string& bytes) {
  IStream* s = nullptr;
  EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &s));
  ULONG wrote = 0;
  if (!bytes.empty()) s->Write(bytes.data(), ULONG(bytes.size()), &wrote);
  return s;  // left at its end: LoadFromStream must rewind
}

std::string StreamBytes(IStream* s) {
  LARGE_INTEGER zero = {};
  s->Seek(zero, STREAM_SEEK_SET, nullptr);
  std::string bytes;
  char buf[4096];
  ULONG got = 0;
  while (SUCCEEDED(s->Read(buf, sizeof buf, &got)) && got) bytes.append(buf, got);
  return bytes;
}

std::string Gbk(const std::wstring& s) {
  int n = WideCharToMultiByte(936, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string r(size_t(n), '\0');
  WideCharToMultiByte(936, 0, s.data(), int(s.size()), &r[0], n, nullptr, nullptr);
  return r;
}

}  // namespace

TEST(IniPackageTest, TextLinesBecomeSectionsAndKeys) {
  app::TMemIniFile ini(L"");
  ini.SetStrings({L"orphan=dropped", L"[  First ]", L"  ; a comment", L"", L"b = 2 ",
                  L"a=1", L"=x", L"bare key", L"url = http://x/?a=b", L"\tC=three\t",
                  L";c=not a key", L"[second]", L"z=last", L"[First]", L"d=4"});
  EXPECT_EQ((Keys{L"First", L"second"}), ini.ReadSections());
  // File order, across a section named twice; look-ups ignore the letter case.
  EXPECT_EQ((Keys{L"b", L"a", L"", L"bare key", L"url", L"C", L"d"}), ini.ReadSection(L"first"));
  struct {
    const wchar_t *section, *key, *expected;
  } reads[] = {
      {L"FIRST", L"B", L"2"},          {L"first", L"a", L"1"},
      {L"First", L"url", L"http://x/?a=b"}, {L"First", L"c", L"three"},
      {L"First", L"bare key", L""},    {L"First", L"orphan", L"default"},
      {L"First", L"c=not a key", L"default"}, {L"Second", L"Z", L"last"},
      {L"Missing", L"a", L"default"},
  };
  for (const auto& r : reads)
    EXPECT_EQ(r.expected, ini.ReadString(r.section, r.key, L"default"))
        << sys::ToUtf8(r.section) << "/" << sys::ToUtf8(r.key);
  EXPECT_TRUE(ini.ValueExists(L"first", L"BARE KEY"));
  EXPECT_FALSE(ini.SectionExists(L""));
}

TEST(IniPackageTest, WritesAndDeletesKeepTheOrder) {
  app::TMemIniFile ini(L"");
  ini.SetStrings({L"[S]", L"one=1", L"two=2", L"three=3"});
  ini.WriteString(L"s", L"TWO", L"zwei");
  ini.WriteString(L"s", L"four", L"4");
  ini.DeleteKey(L"S", L"one");
  EXPECT_EQ((Keys{L"two", L"three", L"four"}), ini.ReadSection(L"S"));
  EXPECT_EQ(L"zwei", ini.ReadString(L"S", L"two", L""));
  EXPECT_EQ(L"3", ini.ReadString(L"S", L"three", L""));
  ini.WriteString(L"T", L"k", L"v");
  ini.EraseSection(L"s");
  EXPECT_EQ((Keys{L"T"}), ini.ReadSections());
  EXPECT_EQ(L"v", ini.ReadString(L"t", L"K", L""));
}

TEST(IniPackageTest, StreamTextIsReadFromItsStartAndWrittenBack) {
  app::TStreamIniFile ini;
  std::wstring text = L"; 说明\r\n[Sorvex]\r\n新闻|clRed=http://a.example/\nkey only\r[Note]\r\nx=y";
  IStream* in = MemoryStream(Gbk(text));
  ASSERT_TRUE(ini.LoadFromStream(in));
  in->Release();
  EXPECT_EQ((Keys{L"新闻|clRed", L"key only"}), ini.ReadSection(L"sorvex"));
  EXPECT_EQ(L"http://a.example/", ini.ReadString(L"Sorvex", L"新闻|CLRED", L""));

  IStream* out = MemoryStream("");
  ASSERT_TRUE(ini.SaveToStream(out));
  EXPECT_EQ(Gbk(L"[Sorvex]\r\n新闻|clRed=http://a.example/\r\nkey only\r\n\r\n[Note]\r\nx=y\r\n\r\n"),
            StreamBytes(out));
  // Loading replaces the whole content.
  app::TStreamIniFile again;
  again.SetStrings({L"[Old]", L"a=b"});
  ASSERT_TRUE(again.LoadFromStream(out));
  out->Release();
  EXPECT_EQ((Keys{L"Sorvex", L"Note"}), again.ReadSections());

  // A text after a UTF-8 byte-order mark is read as UTF-8.
  IStream* utf8 = MemoryStream("\xEF\xBB\xBF[S]\r\n" + sys::ToUtf8(L"标题=值"));
  ASSERT_TRUE(ini.LoadFromStream(utf8));
  utf8->Release();
  EXPECT_EQ(L"值", ini.ReadString(L"S", L"标题", L""));
  EXPECT_FALSE(ini.LoadFromStream(nullptr));
  EXPECT_EQ(L"值", ini.ReadString(L"S", L"标题", L"")) << "a failed load changes nothing";
}

TEST(IniPackageTest, SaveToFileAndUpdateFileOnlyWhereTheFileExists) {
  testsupport::SandboxFolder sandbox;
  std::wstring kept = sandbox / L"kept.ini", absent = sandbox / L"absent.ini";
  sandbox.file(L"kept.ini", std::string(100, 'x'));  // emptied before the save
  app::TStreamIniFile existing(kept), missing(absent);
  for (app::TStreamIniFile* ini : {&existing, &missing}) ini->WriteString(L"S", L"键", L"值");
  existing.UpdateFile();
  missing.UpdateFile();
  EXPECT_FALSE(testsupport::FileExistsW(absent));
  HANDLE f = CreateFileW(kept.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  char buf[256];
  DWORD got = 0;
  ReadFile(f, buf, sizeof buf, &got, nullptr);
  CloseHandle(f);
  EXPECT_EQ(Gbk(L"[S]\r\n键=值\r\n\r\n"), std::string(buf, got));
  EXPECT_FALSE(existing.SaveToFile(sandbox / L"no such folder\\x.ini"));
}
