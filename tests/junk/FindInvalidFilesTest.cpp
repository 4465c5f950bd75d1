// The junk-file finder: real runs of the thread over sandbox folders (WaitFor serves the
// hand-over on this thread), and single walks driven on the main thread.
#include "junk/FindInvalidFiles.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sys/ShellLink.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"

namespace {

struct Finding {
  std::wstring text, location, kind;
  int image = -1;
  std::map<std::wstring, std::wstring> rows;  // label -> value
  std::vector<int> rowImages;
};

// Only the folder sandbox: the shell link class and the shell's file types are looked up
// in the real registry.
class JunkFinderTest : public ::testing::Test {
 protected:
  JunkFinderTest() {
    folders.windows = sandbox / L"Windows";
    folders.system = sandbox / L"Windows\\System32";
    folders.temp = sandbox / L"Temp\\";
    folders.special[CSIDL_PROGRAMS] = sandbox / L"Menu\\Programs";
    folders.special[CSIDL_STARTUP] = sandbox / L"Menu\\Programs\\Startup";
    folders.special[CSIDL_COMMON_PROGRAMS] = sandbox / L"AllMenu\\Programs";
    folders.special[CSIDL_COMMON_STARTUP] = sandbox / L"AllMenu\\Programs\\Startup";
    folders.special[CSIDL_APPDATA] = sandbox / L"Profile\\AppData";
    folders.special[CSIDL_LOCAL_APPDATA] = sandbox / L"Profile\\Local";
    folders.special[CSIDL_COMMON_APPDATA] = sandbox / L"AllUsers";
    folders.special[CSIDL_PROFILE] = sandbox / L"Profile";
    folders.special[CSIDL_PROGRAM_FILES] = sandbox / L"Program Files";
  }

  std::unique_ptr<junk::TFindInvalidFiles> Finder(int majorVersion = 6) {
    return std::make_unique<junk::TFindInvalidFiles>(
        results, folders, majorVersion, [this](const std::wstring& s) { statuses.push_back(s); });
  }
  // The re-run after a clean.
  std::unique_ptr<junk::TFindInvalidFiles> RerunFinder() {
    auto f = Finder();
    f->CleanTempFiles = f->FindEmptyFolders = f->SkipLockedFiles = true;
    return f;
  }
  // The scan's settings for the temporary folder.
  std::unique_ptr<junk::TFindInvalidFiles> ScanFinder() {
    auto f = RerunFinder();
    f->IncludeReadOnly = f->IncludeHidden = true;
    return f;
  }
  void Run(junk::TFindInvalidFiles& f) {
    f.Resume();
    f.WaitFor();
    EXPECT_EQ(L"", f.FatalException());
  }

  std::vector<Finding> Findings() const {
    std::vector<Finding> out;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      const auto* item = n->DataAs<catalogue::ResultItem>();
      Finding f{item->Text, item->Location, catalogue::KindText(item->Kind), item->ImageIndex, {},
                {}};
      for (const model::TreeNode* c = n->FirstChild(); c; c = c->NextSibling()) {
        const auto* row = c->DataAs<catalogue::ResultItem>();
        f.rows[row->Text] = row->Location;
        f.rowImages.push_back(row->ImageIndex);
      }
      out.push_back(f);
    }
    return out;
  }
  // Full paths of the findings (folders with their trailing backslash).
  std::set<std::wstring> Paths() const {
    std::set<std::wstring> out;
    for (const Finding& f : Findings())
      out.insert(f.kind == L"目录" ? f.location + f.text + L"\\" : f.location + L"\\" + f.text);
    return out;
  }
  // The result image list as a scan starts it: a copy of the option images.
  void OptionImages() {
    HIMAGELIST options = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, kOptionImages, 0);
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    for (int i = 0; i < kOptionImages; ++i) ImageList_AddIcon(options, icon);
    results.Images().Reset(options);
    ImageList_Destroy(options);
    ASSERT_EQ(kOptionImages, results.Images().Count());
  }
  static constexpr int kOptionImages = 56;

  testsupport::SandboxFolder sandbox;
  machine::Folders folders;
  catalogue::ResultModel results;
  std::vector<std::wstring> statuses;
};

void SetAttributes(const std::wstring& path, DWORD attributes) {
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << sys::ToUtf8(path);
  ASSERT_EQ(attributes, GetFileAttributesW(path.c_str()) & attributes) << sys::ToUtf8(path);
}

std::string Utf8(const std::set<std::wstring>& paths) {
  std::string s;
  for (const std::wstring& p : paths) s += sys::ToUtf8(p) + "\n";
  return s;
}

}  // namespace

TEST_F(JunkFinderTest, EmptyFolderRules) {
  sandbox.dir(L"Temp");
  sandbox.dir(L"Menu\\Programs\\Startup");
  sandbox.dir(L"Menu\\Programs\\Sibling");
  sandbox.file(L"Menu\\Programs\\App\\readme.txt");
  sandbox.dir(L"Menu\\Programs\\DotOnly\\.settings");
  sandbox.dir(L"Menu\\Programs\\Chain\\Inner");
  sandbox.dir(L"AllMenu\\Programs\\Startup");
  sandbox.dir(L"AllMenu\\Programs\\Shared");
  const std::wstring programs = sandbox / L"Menu\\Programs\\";
  const std::wstring common = sandbox / L"AllMenu\\Programs\\";
  const struct {
    int majorVersion;
    bool tempSubfolder;
    std::set<std::wstring> expected;
  } cases[] = {
      // The temporary folder itself, both Startup folders, a folder with a file, a folder
      // with only a sub-folder and a dot-named folder are never reported.
      {6, false, {programs + L"Sibling\\", programs + L"DotOnly\\", programs + L"Chain\\Inner\\",
                  common + L"Shared\\"}},
      // Systems up to major version 4 have no all-users menu.
      {4, false, {programs + L"Sibling\\", programs + L"DotOnly\\", programs + L"Chain\\Inner\\"}},
      {6, true, {sandbox / L"Temp\\Empty\\", programs + L"Sibling\\", programs + L"DotOnly\\",
                 programs + L"Chain\\Inner\\", common + L"Shared\\"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.majorVersion);
    results.Clear();
    if (c.tempSubfolder) sandbox.dir(L"Temp\\Empty");
    auto f = Finder(c.majorVersion);
    f->FindEmptyFolders = true;
    f->IncludeReadOnly = f->IncludeHidden = true;
    Run(*f);
    EXPECT_EQ(c.expected, Paths()) << Utf8(Paths());
    for (const Finding& item : Findings()) {
      EXPECT_EQ(L"目录", item.kind);
      EXPECT_EQ(3, item.image);
      EXPECT_EQ((std::map<std::wstring, std::wstring>{{L"说明", L"目录"}}), item.rows);
      EXPECT_EQ(std::vector<int>{20}, item.rowImages);
    }
    EXPECT_EQ(0, f->FoundBytes);
  }

  // A folder that does not exist is never reported, nor is its missing temporary folder.
  results.Clear();
  auto f = Finder();
  f->WalkFolder(sandbox / L"missing", junk::WalkMode::EmptyFolders);
  f->WalkFolder(sandbox / L"missing\\deeper\\", junk::WalkMode::EmptyFolders);
  EXPECT_EQ(0, results.ItemCount());
}

TEST_F(JunkFinderTest, BothConfigurationsOnTheTemporaryFolder) {
  sandbox.file(L"Temp\\plain.tmp", "12345");
  sandbox.file(L"Temp\\zero.tmp", "");
  SetAttributes(sandbox.file(L"Temp\\sub\\hidden.dat"), FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(sandbox.file(L"Temp\\sub\\readonly.dat"), FILE_ATTRIBUTE_READONLY);
  sandbox.file(L"Windows\\Temp\\setup.log", "ab");
  sandbox.dir(L"Temp\\EmptySub");
  SetAttributes(sandbox.dir(L"Temp\\HiddenEmpty"), FILE_ATTRIBUTE_HIDDEN);
  // Held open without sharing: a locked file is left alone.
  std::wstring held = sandbox.file(L"Temp\\held.tmp");
  HANDLE h = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);

  const std::wstring t = sandbox / L"Temp\\";
  const std::set<std::wstring> files = {t + L"plain.tmp", t + L"zero.tmp", t + L"sub\\hidden.dat",
                                        t + L"sub\\readonly.dat",
                                        sandbox / L"Windows\\Temp\\setup.log"};
  for (bool scan : {true, false}) {
    SCOPED_TRACE(scan ? "scan" : "re-run after a clean");
    results.Clear();
    auto f = scan ? ScanFinder() : RerunFinder();
    Run(*f);
    // Files of a walked tree are reported whatever their attributes; folders are tested.
    std::set<std::wstring> expected = files;
    expected.insert(t + L"EmptySub\\");
    if (scan) expected.insert(t + L"HiddenEmpty\\");
    EXPECT_EQ(expected, Paths()) << Utf8(Paths());
    EXPECT_EQ(5 + 2 + 1 + 1, f->FoundBytes);  // plain, setup.log, hidden.dat, readonly.dat
    for (Finding& item : Findings()) {
      if (item.kind != L"文件") continue;
      SCOPED_TRACE(sys::ToUtf8(item.text));
      EXPECT_EQ(L"建议删除", item.rows[L"临时文件"]);
      for (int image : item.rowImages) EXPECT_EQ(20, image);
      if (item.text == L"zero.tmp") {
        EXPECT_EQ(0u, item.rows.count(L"大小")) << "a 0-byte file has no size row";
        EXPECT_EQ(1u, item.rows.size());
      }
      if (item.text == L"plain.tmp") {
        EXPECT_EQ(L"5 Byte", item.rows[L"大小"]);
        EXPECT_EQ(t.substr(0, t.size() - 1), item.location);
        EXPECT_EQ(7, item.image);
      }
    }
  }
  CloseHandle(h);
}

TEST_F(JunkFinderTest, UnsafeTemporaryFolderIsNotWalked) {
  sandbox.file(L"Windows\\Temp\\in-windows-temp.tmp");
  sandbox.file(L"Windows\\beside.tmp");
  sandbox.file(L"Profile\\document.tmp");
  sandbox.dir(L"Windows\\EmptyInWindows");
  const std::wstring unsafe[] = {
      sandbox / L"Windows",
      sandbox / L"Profile\\",
      sandbox.path() + L"\\",  // holds the Windows and the profile folders
  };
  for (const std::wstring& temp : unsafe) {
    SCOPED_TRACE(sys::ToUtf8(temp));
    results.Clear();
    folders.temp = temp;
    auto f = ScanFinder();
    Run(*f);
    EXPECT_EQ((std::set<std::wstring>{sandbox / L"Windows\\Temp\\in-windows-temp.tmp"}), Paths())
        << Utf8(Paths());
  }
}

TEST_F(JunkFinderTest, ExclusionsByFolderAndNameInAnyCase) {
  sandbox.file(L"Temp\\GLChatSkin.INI");
  sandbox.file(L"Temp\\_TMP_qq_proxy.ini");
  sandbox.file(L"Temp\\Rockey6-PKPM\\licence.tmp");
  sandbox.file(L"Temp\\keep.tmp");
  auto f = RerunFinder();
  f->FindEmptyFolders = false;
  Run(*f);
  EXPECT_EQ((std::set<std::wstring>{sandbox / L"Temp\\keep.tmp"}), Paths()) << Utf8(Paths());

  // The constructor's defaults, as the root-folder step sees them.
  results.Clear();
  auto g = Finder();
  sandbox.file(L"Scan\\KISTEMPDB.BAK");
  sandbox.file(L"Scan\\Desktop.ini");
  sandbox.file(L"Scan\\kept.bak");
  sandbox.file(L"Windows\\WinSxS\\x86_part.tmp");
  sandbox.file(L"Users\\Microsoft SQL Server\\log.tmp");
  g->ExcludedFolders.push_back(L"");  // an empty fragment excludes nothing
  g->ExcludedNames.push_back(L"");
  g->ScanFolder(sandbox / L"Scan", L"*.*", true);
  g->ScanFolder(sandbox / L"Windows\\WinSxS", L"*.*", true);
  g->ScanFolder(sandbox / L"Users\\Microsoft SQL Server\\", L"*.*", true);
  g->WalkFolder(sandbox / L"Windows", junk::WalkMode::Files);
  EXPECT_EQ((std::set<std::wstring>{sandbox / L"Scan\\kept.bak"}), Paths()) << Utf8(Paths());
  EXPECT_EQ(14u + 1, g->ExcludedFolders.size());
  EXPECT_EQ(30u + 1, g->ExcludedNames.size());
}

TEST_F(JunkFinderTest, ScanFolderAttributeSwitches) {
  const DWORD RO = FILE_ATTRIBUTE_READONLY, HID = FILE_ATTRIBUTE_HIDDEN, SYS = FILE_ATTRIBUTE_SYSTEM;
  const struct {
    const wchar_t* name;
    DWORD attributes;
  } files[] = {{L"plain.tmp", 0}, {L"ro.tmp", RO}, {L"hid.tmp", HID}, {L"sys.tmp", SYS},
               {L"rohid.tmp", RO | HID}};
  for (const auto& file : files) {
    std::wstring p = sandbox.file(std::wstring(L"Scan\\") + file.name);
    if (file.attributes) SetAttributes(p, file.attributes);
  }
  const struct {
    bool readOnly, system, hidden, skipLocked;
    std::set<std::wstring> found;
  } cases[] = {
      {false, false, false, false, {L"plain.tmp"}},
      {true, false, false, false, {L"plain.tmp", L"ro.tmp"}},
      {false, true, false, false, {L"plain.tmp", L"sys.tmp"}},
      {false, false, true, false, {L"plain.tmp", L"hid.tmp"}},
      {true, true, true, false, {L"plain.tmp", L"ro.tmp", L"hid.tmp", L"sys.tmp", L"rohid.tmp"}},
      // Read-only files always fail the lock test; they are exempt from it.
      {true, false, true, true, {L"plain.tmp", L"ro.tmp", L"hid.tmp", L"rohid.tmp"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.readOnly << c.system << c.hidden << c.skipLocked);
    results.Clear();
    auto f = Finder();
    f->IncludeReadOnly = c.readOnly;
    f->IncludeSystem = c.system;
    f->IncludeHidden = c.hidden;
    f->SkipLockedFiles = c.skipLocked;
    f->ScanFolder(sandbox / L"Scan", L"*.tmp", true);
    std::set<std::wstring> found;
    for (const Finding& item : Findings()) found.insert(item.text);
    EXPECT_EQ(c.found, found);
  }
  // The mask chooses; folders never match.
  results.Clear();
  sandbox.dir(L"Scan\\folder.tmp");
  sandbox.file(L"Scan\\other.log");
  auto f = Finder();
  f->ScanFolder(sandbox / L"Scan", L"*.log", true);
  EXPECT_EQ((std::set<std::wstring>{sandbox / L"Scan\\other.log"}), Paths());
}

TEST_F(JunkFinderTest, BrokenShortcuts) {
  std::wstring existingFile = sandbox.file(L"Targets\\there.exe");
  std::wstring existingFolder = sandbox.dir(L"Targets\\Folder");
  std::wstring missing = sandbox / L"Targets\\gone.exe";
  const struct {
    const wchar_t* name;
    std::wstring target;  // empty: a file that is no shortcut
    UINT driveType;
    bool reported;
  } cases[] = {
      {L"fixed.lnk", missing, DRIVE_FIXED, true},
      {L"noroot.lnk", missing, DRIVE_NO_ROOT_DIR, true},
      {L"cdrom.lnk", missing, DRIVE_CDROM, false},
      {L"removable.lnk", missing, DRIVE_REMOVABLE, false},
      {L"remote.lnk", missing, DRIVE_REMOTE, false},
      {L"file.lnk", existingFile, DRIVE_FIXED, false},
      {L"folder.lnk", existingFolder, DRIVE_FIXED, false},
      {L"root.lnk", L"C:\\", DRIVE_FIXED, false},  // fewer than four characters
      {L"broken.lnk", L"", DRIVE_FIXED, false},
  };
  OptionImages();
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.name));
    results.Clear();
    const std::wstring rel = L"Links\\" + std::to_wstring(++n) + L"\\";
    std::wstring folder = sandbox.dir(rel);
    if (c.target.empty())
      sandbox.file(rel + c.name, "not a shortcut");
    else
      ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(folder + L"\\" + c.name, c.target)));
    sandbox.file(rel + L"notes.txt");
    auto f = Finder();
    f->CheckShortcuts = true;
    std::wstring askedRoot;
    f->DriveType = [&](const std::wstring& root) {
      askedRoot = root;
      return c.driveType;
    };
    f->ScanFolder(folder, L"*.*", false);
    ASSERT_EQ(c.reported ? 1 : 0, results.ItemCount());
    if (c.reported) {
      EXPECT_EQ(missing.substr(0, 3), askedRoot);
      Finding item = Findings()[0];
      EXPECT_EQ(c.name, item.text);
      EXPECT_EQ(L"文件", item.kind);
      EXPECT_GE(item.image, kOptionImages) << "a shortcut shows its own icon";
    }
  }
}

TEST_F(JunkFinderTest, RootFoldersGetTheDefaultExclusionsOnly) {
  std::wstring gone = sandbox / L"gone.exe";
  const std::wstring roots[] = {sandbox.dir(L"AllMenu\\Programs"),
                                sandbox.dir(L"AllMenu\\Programs\\Tools"),
                                sandbox.dir(L"AllMenu\\Programs\\WinSxS")};
  for (const std::wstring& root : roots)
    ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(root + L"\\old.lnk", gone)));
  sandbox.file(L"AllMenu\\Programs\\Tools\\readme.txt");
  std::wstring logs = sandbox.dir(L"Windows\\Winsxs");  // excluded in step 1 only
  sandbox.file(L"Windows\\Winsxs\\setupapi.log");
  folders.windows = logs;
  auto f = Finder();
  f->CheckShortcuts = true;
  f->CleanLogFiles = true;
  f->RootFolders = std::make_unique<std::vector<std::wstring>>(std::begin(roots), std::end(roots));
  Run(*f);
  EXPECT_EQ((std::set<std::wstring>{roots[0] + L"\\old.lnk", roots[1] + L"\\old.lnk",
                                    logs + L"\\setupapi.log"}),
            Paths())
      << Utf8(Paths());

  // Without CheckShortcuts the roots are not looked at.
  results.Clear();
  auto g = Finder();
  g->RootFolders = std::make_unique<std::vector<std::wstring>>(std::begin(roots), std::end(roots));
  Run(*g);
  EXPECT_EQ(0, results.ItemCount());
}

TEST_F(JunkFinderTest, ImageByExtension) {
  const struct {
    const wchar_t* name;
    int image;  // -1: the file's own icon
  } cases[] = {
      {L"song.mp3~", 7},  {L"SONG.MP3", 42},     {L"a.TXT", 6},     {L"a.log", 6},
      {L"p.jpeg", 40},    {L"p.raw", 40},        {L"h.chm", 54},    {L"d.db", 41},
      {L"o.OCX", 41},     {L"w.url", 10},        {L"s.jse", 44},    {L"c.inf", 45},
      {L"t.gid", 7},      {L"v.wmx", 42},        {L"z.7z", 18},     {L"z.iso", 18},
      {L"a.zip", 26},     {L"r.wer", 47},        {L"noext", 7},     {L"x.xyz", 7},
      {L"dir.v1\\file", 7}, {L"setup.exe", -1},  {L"Link.LNK", -1},
  };
  sandbox.file(L"Apps\\setup.exe", "MZ");
  sandbox.file(L"Apps\\Link.LNK", "x");
  OptionImages();
  auto f = Finder();
  int before = results.Images().Count();
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.name));
    WIN32_FIND_DATAW entry = {};
    lstrcpynW(entry.cFileName, c.name, MAX_PATH);
    std::unique_ptr<junk::FindResult> r(f->MakeFileResult(sandbox / L"Apps\\", entry));
    EXPECT_EQ(sandbox / L"Apps\\" + c.name, r->Path);
    EXPECT_EQ(0, r->IsFolder);
    EXPECT_EQ(c.image < 0, r->WantsFileIcon);
    if (c.image >= 0) {
      EXPECT_EQ(c.image, r->ImageIndex);
      continue;
    }
    // The icon joins the image list during the hand-over, never before.
    EXPECT_EQ(before, results.Images().Count());
    results.Clear();
    f->CurrentResult = r.get();
    f->PostResult();
    EXPECT_EQ(before + 1, results.Images().Count());
    EXPECT_EQ(before, Findings().at(0).image);
    before = results.Images().Count();
  }
}

TEST_F(JunkFinderTest, SizesAreSixtyFourBit) {
  WIN32_FIND_DATAW entry = {};
  lstrcpynW(entry.cFileName, L"huge.iso", MAX_PATH);
  entry.nFileSizeHigh = 1;
  entry.nFileSizeLow = 5;
  auto f = Finder();
  std::unique_ptr<junk::FindResult> r(f->MakeFileResult(sandbox / L"Temp\\", entry));
  EXPECT_EQ(4294967301LL, r->Size);
  f->CurrentResult = r.get();
  f->PostResult();
  EXPECT_EQ(4294967301LL, f->FoundBytes);
  EXPECT_EQ(L"4294967301 Byte", Findings().at(0).rows[L"大小"]);
}

TEST_F(JunkFinderTest, HandOverNamesAndRefusals) {
  const struct {
    const wchar_t* path;
    int isFolder;
    const wchar_t* text;  // nullptr: nothing is added
    const wchar_t* location;
  } cases[] = {
      {L"X:\\a\\b\\", 1, L"b", L"X:\\a\\"},
      {L"X:\\a\\b", 1, L"b", L"X:\\a\\"},
      {L"X:\\", 1, nullptr, nullptr},
      {L"X:\\dir\\f.tmp", 0, L"f.tmp", L"X:\\dir"},
      {L"X:\\dir\\", 0, nullptr, nullptr},
  };
  auto f = Finder();
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.path));
    results.Clear();
    junk::FindResult r;
    r.Path = c.path;
    r.IsFolder = c.isFolder;
    r.Size = 3;
    f->CurrentResult = &r;
    f->PostResult();
    if (!c.text) {
      EXPECT_EQ(0u, results.Tree().NodeCount());
      continue;
    }
    ASSERT_EQ(1, results.ItemCount());
    EXPECT_EQ(c.text, Findings()[0].text);
    EXPECT_EQ(c.location, Findings()[0].location);
  }
  // Once a clean has finished the model takes nothing: no item, no stray rows, no bytes.
  results.Clear();
  const std::int64_t before = f->FoundBytes;
  results.SetCleaned();
  junk::FindResult r;
  r.Path = L"X:\\dir\\f.tmp";
  r.Size = 10;
  f->CurrentResult = &r;
  f->PostResult();
  EXPECT_EQ(0u, results.Tree().NodeCount());
  EXPECT_EQ(before, f->FoundBytes);
}

TEST_F(JunkFinderTest, NormalisedPaths) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"C:\\a\\\\b", L"C:\\a\\b\\"},       {L"C:\\a\\b\\", L"C:\\a\\b\\"},
      {L"C:\\a\\\\\\b\\\\", L"C:\\a\\b\\"}, {L"C:", L"C:\\"},
      {L"\\\\srv\\share", L"\\\\srv\\share\\"}, {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, junk::NormalizeFolderPath(c.in)) << sys::ToUtf8(c.in);

  sandbox.file(L"Deep\\Inner\\a.tmp");
  const std::wstring doubled = sandbox.path() + L"\\\\Deep\\\\Inner";
  auto f = Finder();
  f->ScanFolder(doubled, L"*.tmp", true);
  f->WalkFolder(doubled, junk::WalkMode::Files);
  ASSERT_EQ(2, results.ItemCount());
  for (const Finding& item : Findings()) EXPECT_EQ(sandbox / L"Deep\\Inner", item.location);
}

TEST_F(JunkFinderTest, InternetExplorerModeExclusions) {
  folders.windows = sandbox / L"Cookies\\Windows";
  folders.system = sandbox / L"History\\System32";
  folders.temp = sandbox / L"History\\Temp\\";
  const std::wstring setupapi = sandbox.file(L"Cookies\\Windows\\setupapi.log");
  const std::wstring wbem = sandbox.file(L"History\\System32\\wbem\\Logs\\x.log");
  const std::wstring temp = sandbox.file(L"History\\Temp\\t.tmp");
  const struct {
    int mode;
    bool tempFiles;
    std::set<std::wstring> found;
  } cases[] = {
      {-1, false, {setupapi, wbem}},
      {0, false, {setupapi, wbem}},
      {1, false, {wbem}},
      {2, false, {}},
      // With temporary files the exclusions end with their step.
      {2, true, {setupapi, wbem}},
      {1, true, {temp, setupapi, wbem}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << c.tempFiles);
    results.Clear();
    auto f = Finder();
    f->IECleanMode = c.mode;
    f->CleanTempFiles = c.tempFiles;
    f->CleanLogFiles = true;
    Run(*f);
    EXPECT_EQ(c.found, Paths()) << Utf8(Paths());
  }
}

TEST_F(JunkFinderTest, EachStepSearchesItsPlaces) {
  const struct {
    bool junk::TFindInvalidFiles::*option;
    const wchar_t* file;
    bool found;
  } cases[] = {
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Windows\\setupapi.log", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Windows\\KB958644.log", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Windows\\other.log", false},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Windows\\repair\\setupapi.log", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Windows\\System32\\wbem\\Logs\\x.log", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Windows\\System32\\wbem\\Logs\\y.lo_", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Windows\\security\\logs\\scesrv.old", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Windows\\System32\\CatRoot2\\dberr.txt", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Profile\\AppData\\Real\\RealPlayer\\realplayer.ste", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Program Files\\Ahead\\Nero\\NeroHistory.log", true},
      {&junk::TFindInvalidFiles::CleanLogFiles, L"Program Files\\Grisoft\\AVG Anti-Spyware 7.5\\logfile.txt", true},
      {&junk::TFindInvalidFiles::CleanThumbnailCache, L"Profile\\Local\\Microsoft\\Windows\\Explorer\\thumbcache_32.db", true},
      {&junk::TFindInvalidFiles::CleanErrorReports, L"AllUsers\\Microsoft\\Windows\\WER\\ReportQueue\\R1\\Report.wer", true},
      {&junk::TFindInvalidFiles::CleanErrorReports, L"Profile\\Local\\Microsoft\\Windows\\WER\\ReportArchive\\R2\\dump.hdmp", true},
      {&junk::TFindInvalidFiles::CleanAcrobatCache, L"Profile\\Local\\Adobe\\Acrobat\\9.0\\Cache\\Search90\\s.idx", true},
      {&junk::TFindInvalidFiles::CleanSymantecLogs, L"AllUsers\\Symantec\\LiveUpdate\\Downloads\\update.zip", true},
      {&junk::TFindInvalidFiles::CleanSymantecLogs, L"Profile\\Local\\Symantec\\Symantec AntiVirus Corporate Edition\\7.5\\Logs\\a.log", true},
  };
  std::set<std::wstring> expected;
  for (const auto& c : cases) {
    std::wstring p = sandbox.file(c.file);
    if (c.found) expected.insert(p);
  }
  for (bool on : {true, false}) {
    SCOPED_TRACE(on);
    results.Clear();
    auto f = Finder();
    for (const auto& c : cases) (*f).*c.option = on;
    Run(*f);
    EXPECT_EQ(on ? expected : std::set<std::wstring>{}, Paths()) << Utf8(Paths());
  }
  // An unknown base folder finds nothing, not something at the root of the drive.
  results.Clear();
  folders = machine::Folders{};
  auto f = Finder();
  f->CleanLogFiles = f->CleanThumbnailCache = f->CleanErrorReports = f->CleanTempFiles = true;
  f->CleanAcrobatCache = f->CleanSymantecLogs = f->FindEmptyFolders = true;
  Run(*f);
  EXPECT_EQ(0, results.ItemCount());
}

TEST_F(JunkFinderTest, StopEndsTheWalkWithinOneFile) {
  for (int i = 0; i < 300; ++i) sandbox.file(L"Temp\\batch\\f" + std::to_wstring(i) + L".tmp");
  sandbox.dir(L"Temp\\empty");
  std::unique_ptr<junk::TFindInvalidFiles> f = ScanFinder();
  results.OnCountText = [&f](const std::wstring&) { f->Terminate(); };
  Run(*f);
  EXPECT_EQ(1, results.ItemCount());
  EXPECT_TRUE(f->Finished());

  // A stop from the status line before the first file: nothing at all.
  results.Clear();
  results.OnCountText = nullptr;
  junk::TFindInvalidFiles* running = nullptr;
  auto g = std::make_unique<junk::TFindInvalidFiles>(
      results, folders, 6, [&running](const std::wstring&) { running->Terminate(); });
  running = g.get();
  g->CleanTempFiles = g->FindEmptyFolders = true;
  Run(*g);
  EXPECT_EQ(0, results.ItemCount());
}

TEST_F(JunkFinderTest, DestroyingARunningFinderEndsIt) {
  for (int i = 0; i < 300; ++i) sandbox.file(L"Temp\\batch\\f" + std::to_wstring(i) + L".tmp");
  auto f = ScanFinder();
  f->Resume();
  while (results.ItemCount() == 0 && !f->Finished()) {
    HANDLE e = sys::SyncEvent();
    MsgWaitForMultipleObjects(1, &e, FALSE, 50, QS_ALLINPUT);
    sys::ProcessMessages();
  }
  // The hand-over waiting at this moment is served without touching the results.
  std::size_t nodes = results.Tree().NodeCount();
  const int items = results.ItemCount();
  statuses.clear();
  f.reset();
  EXPECT_EQ(items, results.ItemCount());
  EXPECT_EQ(nodes, results.Tree().NodeCount());
  EXPECT_TRUE(statuses.empty());
}

TEST_F(JunkFinderTest, LinksAreNeitherWalkedNorReported) {
  sandbox.file(L"Documents\\letter.txt", "dear");
  sandbox.file(L"Documents\\Photos\\p1.jpg", "jpg");
  sandbox.dir(L"Documents\\EmptyInDocuments");
  sandbox.dir(L"Temp");
  sandbox.file(L"Temp\\own.tmp");
  if (!testsupport::MakeFolderLink(sandbox / L"Temp\\Linked", sandbox / L"Documents"))
    GTEST_SKIP() << "no folder links here";
  ASSERT_TRUE(testsupport::MakeFolderLink(sandbox / L"TempLink", sandbox / L"Documents"));
  ASSERT_TRUE(testsupport::MakeFolderLink(sandbox / L"Symlinked", sandbox / L"Documents"));

  const struct {
    std::wstring temp;
    std::set<std::wstring> found;
  } cases[] = {
      {sandbox / L"Temp\\", {sandbox / L"Temp\\own.tmp"}},
      // The temporary folder itself a link: nothing behind it is touched.
      {sandbox / L"TempLink\\", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.temp));
    results.Clear();
    folders.temp = c.temp;
    auto f = ScanFinder();
    Run(*f);
    EXPECT_EQ(c.found, Paths()) << Utf8(Paths());
  }
  // Nor does a single-folder search go through one.
  results.Clear();
  auto f = ScanFinder();
  f->ScanFolder(sandbox / L"Symlinked", L"*.*", true);
  f->WalkFolder(sandbox / L"Symlinked", junk::WalkMode::Files);
  f->WalkFolder(sandbox / L"Symlinked", junk::WalkMode::EmptyFolders);
  EXPECT_EQ(0, results.ItemCount());
  EXPECT_TRUE(testsupport::FileExistsW(sandbox / L"Documents\\letter.txt"));
}

// The empty-folder walk enters what the file walk saw without listing it again; what
// changed in between is judged as it is now.
TEST_F(JunkFinderTest, EmptyFolderWalkAfterTheFileWalkJudgesTheFoldersAsTheyAreNow) {
  sandbox.file(L"Temp\\Full\\x.tmp");
  sandbox.dir(L"Temp\\Full\\Empty");
  sandbox.dir(L"Temp\\Full\\Sub\\Inner");
  sandbox.dir(L"Temp\\Filled");
  sandbox.dir(L"Elsewhere\\Inner");
  auto f = ScanFinder();
  f->WalkFolder(folders.temp, junk::WalkMode::Files);
  sandbox.file(L"Temp\\Filled\\new.tmp");
  // A folder swapped for a link to another tree is not entered.
  ASSERT_TRUE(RemoveDirectoryW((sandbox / L"Temp\\Full\\Sub\\Inner").c_str()));
  ASSERT_TRUE(RemoveDirectoryW((sandbox / L"Temp\\Full\\Sub").c_str()));
  ASSERT_TRUE(testsupport::MakeFolderLink(sandbox / L"Temp\\Full\\Sub", sandbox / L"Elsewhere"));
  results.Clear();
  f->WalkFolder(folders.temp, junk::WalkMode::EmptyFolders);
  EXPECT_EQ(std::set<std::wstring>{sandbox / L"Temp\\Full\\Empty\\"}, Paths()) << Utf8(Paths());
}

TEST_F(JunkFinderTest, StatusShowsEveryFolderAndFile) {
  sandbox.file(L"Temp\\a.tmp");
  auto f = RerunFinder();
  f->FindEmptyFolders = false;
  Run(*f);
  std::vector<std::wstring> want = {L"分析: " + folders.temp, L"分析: " + folders.temp + L"a.tmp",
                                    L"分析: " + folders.windows + L"\\Temp"};
  EXPECT_EQ(want, statuses);
  EXPECT_EQ(L"分析: " + folders.windows + L"\\Temp", f->StatusText);
}

// A tree made through "\\?\" paths is walked to the bottom on a stack that does not grow
// with its depth (BrowserTracesTest says why a few hundred levels).
TEST_F(JunkFinderTest, ADeepFolderTreeIsWalkedOnAFlatStack) {
  const int levels = 200;
  int made = 0;
  const std::wstring deep =
      testsupport::MakeNestedFolders(folders.temp + L"deep", levels, L"x.tmp", made);
  ASSERT_EQ(levels, made);
  testsupport::StackReach reach;
  // Walked on this thread, where every hand-over runs at once, with a status per folder.
  junk::TFindInvalidFiles f(results, folders, 6, [&reach](const std::wstring&) { reach.Sample(); });
  f.BatchMillis = 0;
  f.WalkFolder(folders.temp, junk::WalkMode::Files);
  f.WalkFolder(folders.temp, junk::WalkMode::EmptyFolders);
  EXPECT_EQ(1u, Paths().count(deep.substr(4) + L"\\x.tmp"));
  EXPECT_LT(reach.Bytes(), 16u * 1024);
}
