// Command-line cutting, size texts, extension images and the temporary-folder guard.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "sys/FileUtils.h"
#include "machine/Folders.h"
#include "sys/SizeText.h"
#include "machine/StartupFont.h"

using namespace machine;
using namespace sys;

TEST(ExtractExePathTest, CutsTheProgramOutOfCommandLines) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"\"C:\\Program Files\\App\\uninst.exe\" /S", L"C:\\Program Files\\App\\uninst.exe"},
      {L"  \"C:\\App\\a.exe\"  ", L"C:\\App\\a.exe"},
      {L"\"\"C:\\App\\a.exe\"\" -x", L"C:\\App\\a.exe"},
      // An opening quote without a closing one: the text without the quote.
      {L"\"C:\\App\\a.exe", L"C:\\App\\a.exe"},
      // A quote further in: the first is removed and the text cut at the next.
      {L"C:\\App\\\"b.exe\" arg", L"C:\\App\\b.exe"},
      {L"rundll32.exe shell32.dll,Control_RunDLL x", L"rundll32.exe"},
      // ".EXE" is ".exe" to Windows.
      {L"C:\\WINDOWS\\system32\\RUNDLL32.EXE C:\\x.dll,Entry", L"C:\\WINDOWS\\system32\\RUNDLL32.EXE"},
      {L"Setup.EXE uninstall", L"Setup.EXE"},
      {L"C:\\Windows\\system32\\shell32.dll,3", L"C:\\Windows\\system32\\shell32.dll"},
      {L"C:\\Windows\\system32\\shell32.dll,-154", L"C:\\Windows\\system32\\shell32.dll"},
      // Capitals: only the dot is tested before " /".
      {L"C:\\APP\\SETUP.EXE /uninstall", L"C:\\APP\\SETUP.EXE"},
      {L"C:\\App\\setup.exe -remove", L"C:\\App\\setup.exe"},
      {L"C:\\App\\unins.dat %1", L"C:\\App\\unins.dat"},
      {L"C:\\App\\unins.dat ,x", L"C:\\App\\unins.dat"},
      // The first ".exe" is kept, even in a folder name, once ".exe " occurs.
      {L"C:\\Tools.exe\\bin\\setup.exe /u", L"C:\\Tools.exe"},
      // Doubled backslashes collapse.
      {L"C:\\\\App\\\\\\a.exe", L"C:\\App\\a.exe"},
      // A separator without a three-letter extension before it stays.
      {L"C:\\App\\program /x", L"C:\\App\\program /x"},
      {L"a /x", L"a /x"},
      {L"", L""},
      {L"   ", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, ExtractExePath(c.in)) << c.in;
}

TEST(ExtractExePathTest, CommandTargetsAreTheFilesWindowsRuns) {
  using Targets = std::vector<std::wstring>;
  struct Case {
    const wchar_t* in;
    Targets out;
  } cases[] = {
      {L"\"C:\\App\\a.exe\" /x", {L"C:\\App\\a.exe"}},
      {L"rundll32 C:\\x\\a.dll,Entry", {L"C:\\x\\a.dll"}},
      {L"RunDll32.EXE \"C:\\My Lib\\a.dll\",Entry 1", {L"C:\\My Lib\\a.dll"}},
      {L"C:\\WINDOWS\\system32\\RUNDLL32.EXE C:\\My Lib\\a.dll,Entry",
       {L"C:\\My", L"C:\\My Lib\\a.dll"}},
      {L"\"%SystemRoot%\\system32\\rundll32.exe\" shell32.dll,Control_RunDLL", {L"shell32.dll"}},
      {L"cmd /c \"C:\\x\\run.bat\" arg", {L"C:\\x\\run.bat"}},
      {L"cmd.exe /s /K \"\"C:\\My App\\run.cmd\" arg\"", {L"C:\\My App\\run.cmd"}},
      {L"cmd /c start notepad", {}},
      {L"wscript.exe //B //Nologo \"C:\\x\\s.vbs\" a", {L"C:\\x\\s.vbs"}},
      {L"CScript C:\\My Scripts\\s.js arg", {L"C:\\My Scripts\\s.js"}},
      {L"powershell.exe -NoProfile -File \"C:\\x\\s.ps1\" -x", {L"C:\\x\\s.ps1"}},
      {L"powershell -Command Get-Date", {}},
      // The file the shell fills in is none of the command's own.
      {L"\"C:\\windows\\system32\\wscript.exe\" \"%1\" %*", {}},
      {L"rundll32.exe %1,Entry", {}},
      // No extension ends the program: as written, and up to the blank.
      {L"C:\\App\\program /x", {L"C:\\App\\program /x", L"C:\\App\\program"}},
      {L"C:\\Program Files\\App\\app.exe", {L"C:\\Program Files\\App\\app.exe"}},
      {L"uninstall /x", {L"uninstall"}},
      {L"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, CommandTargets(c.in)) << c.in;
}

TEST(SizeTextTest, ByteAndKilobyteBoundaries) {
  struct B {
    long long n;
    const wchar_t* text;
  } bytes[] = {
      {0, L"0 Byte"},
      {1, L"1 Byte"},
      {1024, L"1024 Byte"},
      {1025, L"1.00 KB"},
      {10240, L"10.00 KB"},
      {1048576, L"1024.00 KB"},
      {1048577, L"1.00 MB"},
      {5LL * 1024 * 1024 * 1024, L"5120.00 MB"},
      {-5, L"-5 Byte"},
  };
  for (const B& b : bytes) EXPECT_EQ(b.text, FormatByteSize(b.n)) << b.n;
  struct K {
    double k;
    const wchar_t* text;
  } kilos[] = {
      {0, L"0.00 KB"},
      {1.5, L"1.50 KB"},
      {1024, L"1024.00 KB"},
      {1025, L"1.00 MB"},
      {1048576, L"1024.00 MB"},
      {1048577, L"1.00 GB"},
      {3.0 * 1048576, L"3.00 GB"},
  };
  for (const K& k : kilos) EXPECT_EQ(k.text, FormatKilobyteSize(k.k)) << k.k;
}

TEST(ApplyUIFontTest, SetsStartupCharsetHeightAndOneOfTheTwoFaces) {
  for (int major : {5, 6, 10}) {
    LOGFONTW lf = {};
    lf.lfHeight = 30;
    lf.lfCharSet = ANSI_CHARSET;
    ApplyUIFont(lf, major);
    EXPECT_EQ(-12, lf.lfHeight);
    EXPECT_EQ(134, lf.lfCharSet);
    std::wstring face = lf.lfFaceName;
    if (major >= 6)  // smoothing counts as on: the face depends on the font alone
      EXPECT_EQ(FontInstalled(L"微软雅黑") ? L"微软雅黑" : L"宋体", face);
    else
      EXPECT_TRUE(face == L"微软雅黑" || face == L"宋体") << major;
  }
  EXPECT_FALSE(FontInstalled(L"No Such Font Velmora"));
}
