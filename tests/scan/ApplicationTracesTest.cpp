// The application trace scanners and the folder lister, run on the hermetic registry and
// sandbox folders with an in-memory result model.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "scan/ApplicationTraces.h"
#include "sys/FileSearch.h"
#include "sys/Registry.h"
#include "sys/ShellLink.h"
#include "sys/Text.h"
#include "sys/Views.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/ResultLines.h"
#include "tests/support/Sandbox.h"
#include "tests/support/ScanHarness.h"

using catalogue::ResultItem;
using namespace testsupport;

namespace {

using Harness = ScanHarness;

// COM look-ups of the shell link and MSXML objects want the real classes registry, so the
// folder-only scanners run without the registry sandbox.
class FolderTraceTest : public ::testing::Test, public Harness {
 protected:
  SandboxFolder sandbox;
};

class RegistryTraceTest : public SandboxTest, public Harness {};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
  std::sort(v.begin(), v.end());
  return v;
}

std::int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (std::int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring Rot13(std::wstring s) {
  for (wchar_t& c : s)
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'))
      c = wchar_t((c & ~31) + ((c & 31) - 1 + 13) % 26 + 1);
  return s;
}

void WriteIni(const std::wstring& file, const std::wstring& section, const std::wstring& key,
              const std::wstring& value) {
  ASSERT_TRUE(
      WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()));
}


}  // namespace

// --- folder lister ------------------------------------------------------------------

TEST_F(FolderTraceTest, AllFilesWithFoldersListsFilesAndRealSubfolders) {
  const std::wstring folder = sandbox.dir(L"Cache");
  sandbox.file(L"Cache\\a.txt", "abc");
  sandbox.file(L"Cache\\空.dat", "");
  sandbox.dir(L"Cache\\子目录");
  sandbox.dir(L"Cache\\.hidden");
  sandbox.file(L"Elsewhere\\keep.txt", "keep");
  ASSERT_TRUE(MakeFolderLink(folder + L"\\link", sandbox / L"Elsewhere"));
  ASSERT_TRUE(sys::FileAttributes(folder + L"\\link") & FILE_ATTRIBUTE_REPARSE_POINT);

  const struct {
    const char* what;
    std::wstring folder;
    bool includeFolders;
    std::vector<std::wstring> items;
  } cases[] = {
      {"with folders, trailing backslash",
       folder + L"\\",
       true,
       {L"a.txt|" + folder + L"||文件|7 / 大小=3 Byte@20", L"空.dat|" + folder + L"||文件|7",
        L"子目录|" + folder + L"||目录|3 / 说明=目录@20"}},
      {"without folders",
       folder,
       false,
       {L"a.txt|" + folder + L"||文件|7 / 大小=3 Byte@20", L"空.dat|" + folder + L"||文件|7"}},
      {"missing folder", sandbox / L"nothing", true, {}},
      {"too short", L"\\", true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    scan::ListFolderTraces(h.ctx, c.folder, L"*.*", 7, c.includeFolders);
    EXPECT_EQ(Sorted(c.items), h.SortedItems());
    EXPECT_EQ(c.items.empty() ? 0 : 3, h.results.SizeTotal());
    // One status line and one pump per file; folders are not announced.
    int files = c.items.empty() ? 0 : 2;
    EXPECT_EQ(files, h.pumps);
    ASSERT_EQ(size_t(files), h.statuses.size());
    if (files) {
      EXPECT_EQ(Sorted({L"分析: " + folder + L"\\a.txt", L"分析: " + folder + L"\\空.dat"}),
                Sorted(h.statuses));
    }
  }
}

TEST_F(FolderTraceTest, ShortcutsByTargetAndBrokenOnesOnlyInRecent) {
  const std::wstring recent = sandbox.dir(L"Profile\\Recent");
  const std::wstring other = sandbox.dir(L"Other");
  folders.special[CSIDL_RECENT] = recent;
  const std::wstring exe = sandbox.file(L"Programs\\Tool.EXE");
  const std::wstring doc = sandbox.file(L"Docs\\note.txt");
  for (const std::wstring& dir : {recent, other}) {
    ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(dir + L"\\tool.lnk", exe)));
    ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(dir + L"\\note.lnk", doc)));
    // A drive root is no usable target: the shortcut is broken.
    ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(dir + L"\\broken.lnk", L"C:\\")));
    sandbox.file(dir.substr(sandbox.path().size() + 1) + L"\\fake.lnk", "not a shortcut");
    sandbox.file(dir.substr(sandbox.path().size() + 1) + L"\\plain.txt", "not listed");
  }
  const struct {
    const char* what;
    std::wstring folder, mask;
    std::vector<std::wstring> names;
  } cases[] = {
      {"every shortcut in Recent", recent, L"*", {L"broken.lnk", L"note.lnk", L"tool.lnk"}},
      {"every shortcut elsewhere", other, L"*", {L"note.lnk", L"tool.lnk"}},
      {"programs elsewhere", other, L".exe", {L"tool.lnk"}},
      {"programs in Recent", recent + L"\\", L".exe", {L"broken.lnk", L"tool.lnk"}},
      {"no shortcut of that kind", other, L".doc", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.folders = folders;
    h.results.Images().Reset(nullptr);
    scan::ListFolderTraces(h.ctx, c.folder, c.mask, 7, true);
    const std::wstring dir =
        sys::EndsWith(c.folder, L"\\") ? c.folder.substr(0, c.folder.size() - 1) : c.folder;
    std::vector<std::wstring> expected, got;
    std::int64_t total = 0;
    for (const std::wstring& name : c.names) {
      std::int64_t size = FileSize(dir + L"\\" + name);
      total += size;
      expected.push_back(name + L"|" + dir + L"||LnkFile / 大小=" + std::to_wstring(size) +
                         L" Byte@20");
    }
    std::vector<int> images;
    for (const model::TreeNode* n = h.results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      const ResultItem* r = n->DataAs<ResultItem>();
      images.push_back(r->ImageIndex);
      const ResultItem* size = n->FirstChild()->DataAs<ResultItem>();
      got.push_back(r->Text + L"|" + r->Location + L"|" + r->Detail + L"|" + KindField(*r) +
                    L" / " + size->Text + L"=" + size->Location + L"@" +
                    std::to_wstring(size->ImageIndex));
    }
    EXPECT_EQ(Sorted(expected), Sorted(got));
    EXPECT_EQ(total, h.results.SizeTotal());
    // Each taken shortcut shows its own icon, appended to the result images.
    for (size_t i = 0; i < images.size(); ++i) EXPECT_EQ(int(i), images[i]);
    EXPECT_EQ(int(images.size()), h.results.Images().Count());
    // Every shortcut file of the folder is announced, taken or not.
    EXPECT_EQ(4, h.pumps);
  }
}

// --- registry scanners --------------------------------------------------------------

TEST_F(RegistryTraceTest, MarkedSubKeysWithTheirDefaultValueCutAtTheBar) {
  const std::wstring key = L"Software\\RealNetworks\\RealPlayer\\6.0\\Preferences";
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    SetRegString(root, key + L"\\MostRecentClips1", L"", L"C:\\a.rm|1|x");
    SetRegString(root, key + L"\\MostRecentClips2", L"", L"http://b");
    CreateRegKey(root, key + L"\\OldMostRecentClips3");
    SetRegString(root, key + L"\\mostrecentclips4", L"", L"case counts");
    SetRegString(root, key + L"\\Volume", L"", L"other");
  }
  const struct {
    HKEY root;
    const wchar_t* name;
  } cases[] = {{HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
               {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.name));
    Harness h;
    scan::ScanMarkedSubKeys(h.ctx, c.root, key, 22, L"RealPlayer播放器", L"MostRecentClips");
    const std::wstring root = c.name;
    EXPECT_EQ(
        Sorted({root + L"|" + key +
                    L"\\MostRecentClips1||C:\\a.rm|22 / 键值或分析结果=C:\\a.rm@20"
                    L" / 说明=RealPlayer播放器@22",
                root + L"|" + key +
                    L"\\MostRecentClips2||http://b|22 / 键值或分析结果=http://b@20"
                    L" / 说明=RealPlayer播放器@22",
                root + L"|" + key + L"\\OldMostRecentClips3|||22 / 说明=RealPlayer播放器@22"}),
        h.SortedItems());
  }
  Harness none;
  scan::ScanMarkedSubKeys(none.ctx, HKEY_CURRENT_USER, L"Software\\Missing", 22, L"d", L"M");
  EXPECT_TRUE(none.Items().empty());
}

TEST_F(RegistryTraceTest, FileExtsListsUnregisteredExtensionsWithoutPrograms) {
  const std::wstring exts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
  CreateRegKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.CCC");
  CreateRegKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.txt");
  CreateRegKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\hhh");  // no point: not an extension
  const struct {
    const wchar_t* name;
    const wchar_t* sub;     // sub-key to create, or nullptr
    const wchar_t* value;   // value name in it, or nullptr
    const wchar_t* second;  // a second sub-key, or nullptr
    bool listed;
  } cases[] = {
      {L".aaa", nullptr, nullptr, nullptr, true},
      {L".bbb", L"OpenWithList", nullptr, nullptr, true},
      {L".ccc", L"OpenWithList", nullptr, nullptr, false},  // registered as ".CCC"
      {L".ddd", L"OpenWithList", L"a", nullptr, false},
      {L".eee", L"OpenWithList", L"", nullptr, false},  // a default value
      {L".fff", L"OpenWithList", nullptr, L"OpenWithProgids", false},
      {L".ggg", L"OpenWithProgids", nullptr, nullptr, false},
      {L".hhh", nullptr, nullptr, nullptr, true},
      {L".TXT", nullptr, nullptr, nullptr, false},
      {L"abc", nullptr, nullptr, nullptr, false},
      {L"x", nullptr, nullptr, nullptr, true},
  };
  std::vector<std::wstring> expected;
  for (const auto& c : cases) {
    std::wstring key = exts + c.name;
    CreateRegKey(HKEY_CURRENT_USER, key);
    if (c.sub) CreateRegKey(HKEY_CURRENT_USER, key + L"\\" + c.sub);
    if (c.value) SetRegString(HKEY_CURRENT_USER, key + L"\\" + c.sub, c.value, L"prog.exe");
    if (c.second) CreateRegKey(HKEY_CURRENT_USER, key + L"\\" + c.second);
    if (c.listed)
      expected.push_back(L"HKEY_CURRENT_USER|" + key + L"||" + c.name + L"|7 / 键值或分析结果=" +
                         c.name + L"@20 / 说明=文件扩展名历史记录@7");
  }
  scan::ScanFileExts(ctx);
  EXPECT_EQ(Sorted(expected), SortedItems());
  EXPECT_EQ(int(std::size(cases)), pumps);
  EXPECT_EQ(size_t(pumps), statuses.size());
  EXPECT_NE(statuses.end(), std::find(statuses.begin(), statuses.end(), L"分析: abc"));

  // Stopping ends the walk before the next name.
  Harness stopped;
  stopped.onPump = [&] { stopped.stop = true; };
  scan::ScanFileExts(stopped.ctx);
  EXPECT_EQ(1, stopped.pumps);
  EXPECT_LE(stopped.Items().size(), 1u);
  Harness never;
  never.stop = true;
  scan::ScanFileExts(never.ctx);
  EXPECT_EQ(0, never.pumps);
  EXPECT_TRUE(never.Items().empty());
}

TEST_F(RegistryTraceTest, UserAssistDecodesNamesAndKeepsOnlyGoneDrivePaths) {
  const std::wstring key =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\"
      L"{75048700-EF1F-11D0-9888-006097DEACF9}\\Count";
  const std::wstring gone = sandbox / L"程序\\Gone.exe";
  const std::wstring here = sandbox.file(L"程序\\Here.exe");
  ASSERT_EQ(L':', gone[1]);  // the sandbox is on a drive
  const struct {
    std::wstring name;
    std::wstring program;  // empty: not listed
  } cases[] = {
      {L"HRZR_EHACNGU:" + Rot13(gone), gone},
      {L"HRZR_EHACNGU:" + Rot13(here), L""},
      {L"HRZR_EHACNGU:" + Rot13(L"R:\\Tools\\usb.exe"), L""},  // an unplugged disk
      {L"HRZR_EHACNGU:" + Rot13(sandbox / L"readme"), L""},
      {L"HRZR_EHACNGU:" + Rot13(sandbox / L"page.html"), L""},
      {L"HRZR_EHACVQY:%pfvqy2%\\Npprffbevrf\\Abgrcnq.yax", L"%csidl2%\\Accessories\\Notepad.lnk"},
      {L"HRZR_PGYFRFFVBA", L"UEME_CTLSESSION"},
      {L"UEME_RUNPATH:notepad", L"notepad"},
      {L"HRZR_EHACNGU:?", L""},
      {L"HRZR_EHACNGU:AutoCAD.exe", L""},
      {L"{5E6AB780-7743-11CF-A12B-00AA004AE837}", L""},
      {L"HR", L""},
  };
  sys::ScopedViewApis views;
  auto type = sys::Drives().type;
  sys::Drives().type = [type](const std::wstring& root) {
    return root == L"R:\\" ? UINT(DRIVE_REMOVABLE) : type(root);
  };
  sys::ForgetDrives();
  std::vector<std::wstring> expected;
  for (const auto& c : cases) {
    SetRegBinary(HKEY_CURRENT_USER, key, c.name, std::string(16, '\1'));
    if (!c.program.empty())
      expected.push_back(L"HKEY_CURRENT_USER|" + key + L"|" + c.name + L"|" + c.program +
                         L"|2 / 键名=" + c.name + L"@19 / 键值或分析结果=" + c.program +
                         L"@20 / 说明=最近打开的程序历史记录@2");
  }

  scan::ScanUserAssist(ctx, key);
  EXPECT_EQ(Sorted(expected), SortedItems());
  // Every value but the version value is announced.
  EXPECT_EQ(int(std::size(cases)) - 1, pumps);

  Harness stopped;
  stopped.onPump = [&] { stopped.stop = true; };
  scan::ScanUserAssist(stopped.ctx, key);
  EXPECT_EQ(1, stopped.pumps);
  EXPECT_LE(stopped.Items().size(), 1u);

  Harness missing;
  scan::ScanUserAssist(missing.ctx, key + L"\\Nothing");
  EXPECT_TRUE(missing.Items().empty());
}

TEST_F(RegistryTraceTest, UltraEditEntriesFromTheLastKeyToTheFirst) {
  folders.special[CSIDL_PROGRAM_FILES] = sandbox.dir(L"Program Files");
  folders.special[CSIDL_APPDATA] = sandbox.dir(L"AppData");
  SetRegString(HKEY_CLASSES_ROOT, L"Applications\\Uedit32.exe\\shell\\edit\\command", L"",
               L"%ProgramFiles%\\IDM\\Uedit32.exe \"%1\"", REG_EXPAND_SZ);
  const std::wstring ini1 = sandbox.dir(L"Program Files\\IDM") + L"\\Uedit32.ini";
  WriteIni(ini1, L"Recent File List", L"File1", L"C:\\docs\\one.txt");
  WriteIni(ini1, L"Recent File List", L"File2", L"C:\\docs\\两个.txt");
  WriteIni(ini1, L"Recent File List", L"File3", L"three.txt");
  WriteIni(ini1, L"Recent File List", L"File4", L"");
  WriteIni(ini1, L"Find History", L"Find1", L"not read by the first scanner");
  const std::wstring ini2 = sandbox.dir(L"AppData\\IDMComp\\UltraEdit") + L"\\Uedit32.ini";
  WriteIni(ini2, L"Find History", L"Find1", L"word");
  WriteIni(ini2, L"Other", L"Key", L"ignored");
  WriteIni(ini2, L"Find in File History", L"Find1", L"a\\b");
  WriteIni(ini2, L"Find in File History", L"Find2", L"c");
  WriteIni(ini2, L"Recent File List", L"File1", L"D:\\x.cpp");

  auto Item = [](const std::wstring& text, const std::wstring& ini, const std::wstring& detail) {
    return text + L"|" + ini + L"|" + detail + L"|other|25 / 说明=UltraEdit编辑软件@25";
  };
  scan::ScanUltraEditProgram(ctx);
  EXPECT_EQ((std::vector<std::wstring>{Item(L"three.txt", ini1, L"Recent File List|File3"),
                                       Item(L"两个.txt", ini1, L"Recent File List|File2"),
                                       Item(L"one.txt", ini1, L"Recent File List|File1")}),
            Items());
  EXPECT_EQ((std::vector<std::wstring>{L"分析: " + sandbox.path() +
                                       L"\\Program Files\\IDM\\Uedit32.exe"}),
            statuses);

  results.Clear();
  statuses.clear();
  scan::ScanUltraEditProfile(ctx);
  EXPECT_EQ((std::vector<std::wstring>{Item(L"x.cpp", ini2, L"Recent File List|File1"),
                                       Item(L"c", ini2, L"Find in File History|Find2"),
                                       Item(L"b", ini2, L"Find in File History|Find1"),
                                       Item(L"word", ini2, L"Find History|Find1")}),
            Items());
  EXPECT_EQ(
      (std::vector<std::wstring>{L"分析: " + sandbox.path() + L"\\AppData\\IDMComp\\UltraEdit\\"}),
      statuses);
  EXPECT_EQ(0, results.SizeTotal());

  // No program registered, no profile folder: nothing, and nothing announced.
  Harness none;
  scan::ScanUltraEditProfile(none.ctx);
  sys::DeleteKeyTree(HKEY_CLASSES_ROOT, L"Applications");
  scan::ScanUltraEditProgram(none.ctx);
  EXPECT_TRUE(none.Items().empty());
  EXPECT_TRUE(none.statuses.empty());
}

TEST_F(RegistryTraceTest, MyIE2CountsTheSixteenUndoTitles) {
  const std::wstring registered = sandbox.dir(L"MyIE2") + L"\\Config\\myie.ini";
  const std::wstring local = sandbox.dir(L"Local");
  const std::wstring store = local + L"\\VirtualStore\\Program Files\\MYIE2\\Config\\myie.ini";
  sandbox.dir(L"MyIE2\\Config");
  sandbox.dir(L"Local\\VirtualStore\\Program Files\\MYIE2\\Config");
  SetRegString(HKEY_CURRENT_USER, L"Software\\MYIE2", L"Folder", sandbox / L"MyIE2");
  ScopedEnvironment env(L"Localappdata", local);
  for (int i = 0; i <= 16; ++i)
    WriteIni(registered, L"UndoUrl", L"Title" + std::to_wstring(i), L"页面");
  WriteIni(store, L"UndoUrl", L"Title0", L"a");
  WriteIni(store, L"UndoUrl", L"Title1", L"");
  WriteIni(store, L"UndoUrl", L"Title15", L"b");
  WriteIni(store, L"UndoUrl", L"Title16", L"not counted");
  WriteIni(store, L"Other", L"Title2", L"not counted");

  const struct {
    const char* what;
    int major;
    bool wow64;
    std::wstring file;
    int count;
  } cases[] = {
      {"old system reads the registry", 5, false, registered, 16},
      {"64-bit system reads the registry", 6, true, registered, 16},
      {"32-bit Vista reads the virtual store", 6, false, store, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.os.MajorVersion = c.major;
    h.os.IsWow64 = c.wow64;
    scan::ScanMyIE2(h.ctx);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"MyIE2浏览器|" + c.file + L"|MyIE2|other|29 / 说明=" +
                  sys::Format(L"MyIE2搜索记录及打开过的网页，共%d条记录", c.count) + L"@29"}),
              h.Items());
  }
  // No titles at all, or no folder value: nothing.
  DeleteFileW(store.c_str());
  WriteIni(store, L"UndoUrl", L"Title0", L"");
  Harness empty;
  empty.os.MajorVersion = 6;
  empty.os.IsWow64 = false;
  scan::ScanMyIE2(empty.ctx);
  sys::DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\MYIE2");
  empty.os.MajorVersion = 5;
  scan::ScanMyIE2(empty.ctx);
  EXPECT_TRUE(empty.Items().empty());
}

TEST_F(RegistryTraceTest, SharedRoutines) {
  const std::wstring key = L"Software\\Test";
  SetRegString(HKEY_CURRENT_USER, key, L"sz", L"text");
  SetRegString(HKEY_CURRENT_USER, key, L"expand", L"%windir%\\x", REG_EXPAND_SZ);
  SetRegString(HKEY_CURRENT_USER, key, L"", L"default");
  SetRegDword(HKEY_CURRENT_USER, key, L"dword", 5);
  SetRegBinary(HKEY_CURRENT_USER, key, L"binary", "ab");
  const struct {
    std::wstring key, name, value;
  } reads[] = {
      {key, L"sz", L"text"},  {key, L"expand", L"%windir%\\x"},
      {key, L"", L"default"}, {L"\\" + key, L"sz", L"text"},
      {key, L"dword", L""},   {key, L"binary", L""},
      {key, L"missing", L""}, {L"Software\\Missing", L"sz", L""},
  };
  for (const auto& r : reads)
    EXPECT_EQ(r.value, scan::ReadRegString(HKEY_CURRENT_USER, r.key, r.name))
        << sys::ToUtf8(r.key + L"|" + r.name);

  machine::Folders f;
  f.windows = L"C:\\Windows";
  f.special[CSIDL_PROGRAM_FILES] = L"C:\\Program Files";
  f.special[CSIDL_PROGRAM_FILES_COMMON] = L"C:\\Program Files\\Common Files";
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } macros[] = {
      {L"%ProgramFiles%\\A\\a.exe", L"C:\\Program Files\\A\\a.exe"},
      {L"%SYSTEMROOT%\\system32\\b.exe", L"C:\\Windows\\system32\\b.exe"},
      {L"%commonprogramfiles%\\c.dll", L"C:\\Program Files\\Common Files\\c.dll"},
      {L"%windir%\\d.exe", L"C:\\Windows\\d.exe"},
      {L"\"%windir%\\e.exe\"", L"\"%windir%\\e.exe\""},  // only the very start
      {L"C:\\x\\%windir%", L"C:\\x\\%windir%"},
      {L"%appdata%\\f", L"%appdata%\\f"},
  };
  for (const auto& m : macros) {
    std::wstring text = m.in;
    scan::ExpandLeadingMacro(text, f);
    EXPECT_EQ(m.out, text) << sys::ToUtf8(m.in);
  }
  // An unknown folder leaves the macro in place.
  std::wstring text = L"%programfiles%\\a.exe";
  scan::ExpandLeadingMacro(text, machine::Folders());
  EXPECT_EQ(L"%programfiles%\\a.exe", text);

  const struct {
    const wchar_t* text;
    bool digits;
  } digits[] = {{L"12345", true}, {L" 678 ", true}, {L"1.2", true},  {L"  ", false},
                {L"12a", false},  {L"1 2", false},  {L"１２", false}};
  for (const auto& d : digits)
    EXPECT_EQ(d.digits, scan::IsDigitsText(d.text)) << sys::ToUtf8(d.text);
}

// --- file-based scanners ------------------------------------------------------------

TEST_F(FolderTraceTest, StormCountsThePlayHistoryOfUtf8AndGbkFiles) {
  const std::wstring local = sandbox.dir(L"Local");
  const std::wstring all = sandbox.dir(L"All Users");
  ScopedEnvironment env1(L"Localappdata", local);
  ScopedEnvironment env2(L"ALLUSERSPROFILE", all + L"\\");
  const std::wstring vista = local + L"\\VirtualStore\\ProgramData\\Storm\\config.xml";
  const std::wstring xp = all + L"\\Application Data\\Storm\\config.xml";
  const std::string utf8Head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  const std::string gbkHead = "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n";
  // "暴风" as element text in each encoding.
  const std::string utf8Text = "\xe6\x9a\xb4\xe9\xa3\x8e", gbkText = "\xb1\xa9\xb7\xe7";
  const struct {
    const char* what;
    int major;
    std::string xml;  // empty: no file
    int count;        // 0: no item
  } cases[] = {
      {"UTF-8 on Vista", 6,
       utf8Head + "<config><localplayhist><i>" + utf8Text + "</i><i/><i/></localplayhist></config>",
       3},
      {"GBK on XP, other letter case", 5,
       gbkHead + "<config><LocalPlayHist><i>" + gbkText + "</i><!-- c --></LocalPlayHist></config>",
       2},
      {"the last of two lists counts", 6,
       utf8Head + "<config><localplayhist><i/><i/><i/><i/></localplayhist><x/>"
                  "<localplayhist><i/></localplayhist></config>",
       1},
      {"empty list", 6, utf8Head + "<config><localplayhist></localplayhist></config>", 0},
      {"not XML", 6, "<config><localplayhist><i/>", 0},
      {"no file", 6, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring file = c.major < 6 ? xp : vista;
    DeleteFileW(vista.c_str());
    DeleteFileW(xp.c_str());
    if (!c.xml.empty()) sandbox.file(file.substr(sandbox.path().size() + 1), c.xml);
    Harness h;
    h.os.MajorVersion = c.major;
    scan::ScanStorm(h.ctx);
    std::vector<std::wstring> expected;
    if (c.count)
      expected.push_back(L"暴风影音|" + file + L"|Storm|other|30 / 说明=" +
                         sys::Format(L"暴风影音播放历史，共%d条记录", c.count) + L"@30");
    EXPECT_EQ(expected, h.Items());
  }
  // COM stays usable for the caller after the scanner balanced its own start-up.
  EXPECT_TRUE(SUCCEEDED(sys::CreateShortcut(sandbox / L"after.lnk", sandbox / L"x.exe")));
}

TEST_F(FolderTraceTest, KuGooReportsUsersWithSavedSearches) {
  const std::wstring folder = sandbox.dir(L"KuGoo2007") + L"\\";
  const struct {
    const wchar_t* user;
    const wchar_t* count;  // nullptr: no Count; L"-": no Option.ini
    int records;           // 0: not listed
  } cases[] = {
      {L"12345", L"5", 4}, {L"777", L"1", 0}, {L"888", nullptr, 0}, {L"999", L"-", 0},
      {L"abc", L"3", 0},   {L"1.2", L"3", 0}, {L"42", L"2", 1},     {L"43", L"0", 0},
  };
  std::vector<std::wstring> expected;
  for (const auto& c : cases) {
    const std::wstring dir = sandbox.dir(std::wstring(L"KuGoo2007\\") + c.user);
    const std::wstring ini = dir + L"\\Option.ini";
    if (c.count && std::wstring(c.count) == L"-") continue;
    WriteIni(ini, L"Other", L"Count", L"9");
    if (c.count) WriteIni(ini, L"SearchItems", L"Count", c.count);
    if (c.records)
      expected.push_back(L"酷狗|" + ini + L"|kugoo2007|other|31 / 说明=" +
                         sys::Format(L"酷狗：用户%ls搜索记录，共有%d条记录", c.user, c.records) +
                         L"@31");
  }
  sandbox.file(L"KuGoo2007\\555", "a file, not a user");
  scan::ScanKuGooFolder(ctx, folder);
  EXPECT_EQ(Sorted(expected), SortedItems());
  EXPECT_EQ(0, results.SizeTotal());

  Harness none;
  scan::ScanKuGooFolder(none.ctx, sandbox / L"missing\\");
  EXPECT_TRUE(none.Items().empty());
}

TEST_F(FolderTraceTest, MaxthonSessionAndHistoryFiles) {
  const std::wstring m2 = sandbox.dir(L"Maxthon2") + L"\\";
  const std::wstring a = sandbox.dir(L"Maxthon2\\a@b.com\\Data") + L"\\";
  const std::wstring c = sandbox.dir(L"Maxthon2\\c@d\\Data") + L"\\";
  const std::wstring shared = sandbox.dir(L"Maxthon2\\SharedAccount\\Data") + L"\\";
  sandbox.dir(L"Maxthon2\\plain\\Data");
  sandbox.file(L"Maxthon2\\a@b.com\\Data\\LastSession.ini", "no=sections\r\n");
  sandbox.file(L"Maxthon2\\a@b.com\\Data\\Session.ini", "");
  WriteIni(c + L"LastSession.ini", L"Tab1", L"Url", L"http://a");
  WriteIni(c + L"LastSession.ini", L"Tab2", L"Url", L"http://b");
  sandbox.file(L"Maxthon2\\c@d\\Data\\Dynamic.ini", "x");
  sandbox.file(L"Maxthon2\\SharedAccount\\Data\\Session.ini", "x");
  sandbox.file(L"Maxthon2\\plain\\Data\\Session.ini", "not an account");

  scan::ScanMaxthon2(ctx, m2);
  EXPECT_EQ(Sorted({L"Session.ini|" + a + L"|||32 / 说明=傲游(Maxthon)最后关闭的的网页@32",
                    L"LastSession.ini|" + c + L"|||32 / 说明=傲游(Maxthon)撤销的2个记录@32",
                    L"Dynamic.ini|" + c + L"|||32 / 说明=傲游2搜索栏及RSS历史记录@32",
                    L"Session.ini|" + shared + L"|||32 / 说明=傲游(Maxthon)最后关闭的的网页@32"}),
            SortedItems());
  // The shared account comes last.
  EXPECT_EQ(L"Session.ini|" + shared + L"|||32 / 说明=傲游(Maxthon)最后关闭的的网页@32",
            Items().back());

  const std::wstring m1 = sandbox.dir(L"Maxthon");
  sandbox.file(L"Maxthon\\Config\\Dynamic.ini", "x");
  const std::wstring item =
      L"Dynamic.ini|" + m1 + L"\\Config\\|||32 / 说明=傲游最近浏览的历史记录@32";
  for (const std::wstring& given : {m1, m1 + L"\\"}) {
    Harness h;
    scan::ScanMaxthon1(h.ctx, given);
    EXPECT_EQ(std::vector<std::wstring>{item}, h.Items()) << sys::ToUtf8(given);
  }
  Harness none;
  scan::ScanMaxthon1(none.ctx, sandbox / L"Maxthon2");
  scan::ScanMaxthon2(none.ctx, sandbox / L"missing\\");
  EXPECT_TRUE(none.Items().empty());
}
