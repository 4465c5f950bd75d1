// The MRU walker and the history sources by catalogue row, on the hermetic registry and
// sandbox folders, with a fake event-log store.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "catalogue/TraceOption.h"
#include "scan/WindowsHistory.h"
#include "sys/Registry.h"
#include "sys/ShellLink.h"
#include "sys/SysEvent.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/ResultLines.h"
#include "tests/support/Sandbox.h"

using namespace testsupport;
using catalogue::ResultItem;
using scan::HistoryStep;

namespace {

const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
const std::wstring kMruText = L"用户运行或操作历史记录";

// Options by their place in the catalogue, counted from 1 (0 and 75 stand for no option).
catalogue::OptionId OptionOfRow(int row) { return static_cast<catalogue::OptionId>(row - 1); }
int RowOf(catalogue::OptionId option) { return int(option) + 1; }

std::wstring Line(const ResultItem& r) {
  return r.Text + L"|" + r.Location + L"|" + r.Detail + L"|" + KindField(r) + L"|" +
         std::to_wstring(r.ImageIndex);
}
std::wstring RowLine(const std::wstring& label, const std::wstring& value, int image) {
  return label + L"|" + value + L"|" + std::to_wstring(image);
}
// The rows of a keyed result.
std::vector<std::wstring> KeyedRows(const std::wstring& name, const std::wstring& data, int image,
                                    const std::wstring& description) {
  std::vector<std::wstring> rows;
  if (!name.empty()) rows.push_back(RowLine(L"键名", name, 19));
  if (!data.empty()) rows.push_back(RowLine(L"键值或分析结果", data, 20));
  rows.push_back(RowLine(L"说明", description, image));
  return rows;
}

struct Found {
  ResultItem item;
  std::wstring line;
  std::vector<std::wstring> rows;
};


// Logs with a number of small records, served one per read.
class FakeLogStore {
 public:
  std::map<std::wstring, int> records;
  void Install(const std::wstring& windowsDir) {
    sys::EventLogSeams& api = sys::EventLogApi();
    api.open = [this](LPCWSTR, LPCWSTR name) -> HANDLE {
      if (!records.count(name)) return nullptr;
      names_.push_back(name);
      next_.push_back(0);
      return reinterpret_cast<HANDLE>(names_.size());
    };
    api.read = [this](HANDLE h, DWORD, DWORD, void* buffer, DWORD size, DWORD* read,
                      DWORD*) -> BOOL {
      const size_t i = reinterpret_cast<size_t>(h) - 1;
      *read = 0;
      if (next_[i] >= records[names_[i]] || size < 64) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
      }
      ++next_[i];
      EVENTLOGRECORD r{};
      r.Length = 64;
      std::memset(buffer, 0, 64);
      std::memcpy(buffer, &r, sizeof r);
      *read = 64;
      return TRUE;
    };
    api.numberOfRecords = [](HANDLE, DWORD* n) -> BOOL {
      *n = 0;
      return FALSE;
    };
    api.clear = [](HANDLE, LPCWSTR) -> BOOL { return TRUE; };
    api.close = [](HANDLE) -> BOOL { return TRUE; };
    api.windowsDirectory = [windowsDir] { return windowsDir; };
  }

 private:
  std::vector<std::wstring> names_;
  std::vector<int> next_;
};

}  // namespace

class WindowsHistoryTest : public SandboxTest {
 protected:
  WindowsHistoryTest()
      : os(FakeSystem(5, 1)),
        ctx{results,
            folders,
            os,
            [this] { return stop; },
            [this] { ++pumps; },
            [this](const std::wstring& s) { statuses.push_back(s); }} {}

  std::vector<Found> Items() {
    std::vector<Found> found;
    for (model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      Found f;
      f.item = *n->DataAs<ResultItem>();
      f.line = Line(f.item);
      for (model::TreeNode* c = n->FirstChild(); c; c = c->NextSibling()) {
        const ResultItem* r = c->DataAs<ResultItem>();
        f.rows.push_back(RowLine(r->Text, r->Location, r->ImageIndex));
      }
      found.push_back(f);
    }
    return found;
  }
  std::vector<std::wstring> Lines() {
    std::vector<std::wstring> lines;
    for (const Found& f : Items()) lines.push_back(f.line);
    return lines;
  }
  void Reset() {
    results.Clear();
    results.ResetSize();
    statuses.clear();
    pumps = 0;
  }
  // A special folder inside the sandbox.
  std::wstring Special(int csidl, const std::wstring& rel) {
    return folders.special[csidl] = sandbox.dir(rel);
  }

  catalogue::ResultModel results;
  machine::Folders folders;
  machine::TTarnOSInfo os;
  bool stop = false;
  int pumps = 0;
  std::vector<std::wstring> statuses;
  scan::ScanContext ctx;
};

TEST_F(WindowsHistoryTest, RunMruGivesOneItemPerValueAndSkipsItsSubKeys) {
  const std::wstring run = kExplorer + L"RunMRU";
  const std::map<std::wstring, std::wstring> values = {
      {L"a", L"cmd\\1"}, {L"b", L"notepad\\1"}, {L"MRUList", L"ba"}};
  for (const auto& v : values) SetRegString(HKEY_CURRENT_USER, run, v.first, v.second);
  SetRegString(HKEY_CURRENT_USER, run + L"\\Sub", L"x", L"hidden");

  scan::ScanHistorySource(ctx, catalogue::OptionId::RunHistory);

  sys::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.OpenRead(HKEY_CURRENT_USER, run));
  const std::vector<std::wstring> order = key.ValueNames();
  std::vector<Found> items = Items();
  ASSERT_EQ(3u, items.size());
  for (size_t i = 0; i < 3; ++i) {
    const std::wstring& data = values.at(order[i]);
    EXPECT_EQ(L"HKEY_CURRENT_USER|" + run + L"|" + order[i] + L"|" + data + L"|1", items[i].line);
    EXPECT_EQ(KeyedRows(order[i], data, 1, kMruText), items[i].rows);
  }
  EXPECT_EQ(std::vector<std::wstring>{L"分析: HKEY_CURRENT_USER\\" + run}, statuses);
  EXPECT_EQ(1 + 3, pumps);  // once before the source, once per value
}

// The clean would delete the whole key for an empty value name.
TEST_F(WindowsHistoryTest, TheDefaultValueIsNamedByTheMarker) {
  const std::wstring run = kExplorer + L"RunMRU";
  SetRegString(HKEY_CURRENT_USER, run, L"", L"default text");
  scan::ScanRegistryMru(ctx, HKEY_CURRENT_USER, run, 1);
  std::vector<Found> items = Items();
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(L"@D_e_f_a_u_l_t", items[0].item.Detail);
  EXPECT_EQ(KeyedRows(L"@D_e_f_a_u_l_t", L"default text", 1, kMruText), items[0].rows);
}

TEST_F(WindowsHistoryTest, RecentDocsAndOpenSaveMruGoExactlyOneLevelDown) {
  struct Case {
    int row;
    std::wstring path;
    int image;
  } cases[] = {{38, kExplorer + L"RecentDocs", 6}, {35, kExplorer + L"ComDlg32\\OpenSaveMRU", 3}};
  for (const Case& c : cases) {
    Reset();
    SetRegBinary(HKEY_CURRENT_USER, c.path, L"0", std::string("a\0b\0", 4));
    SetRegBinary(HKEY_CURRENT_USER, c.path, L"MRUListEx", std::string("\0\0\0\0", 4));
    SetRegBinary(HKEY_CURRENT_USER, c.path + L"\\.txt", L"0", std::string("t\0", 2));
    SetRegBinary(HKEY_CURRENT_USER, c.path + L"\\.txt", L"MRUListEx", std::string(4, '\xff'));
    SetRegString(HKEY_CURRENT_USER, c.path + L"\\.doc", L"a", L"file.doc");
    SetRegString(HKEY_CURRENT_USER, c.path + L"\\.txt\\Deeper", L"v", L"not visited");

    scan::ScanHistorySource(ctx, OptionOfRow(c.row));

    // The key's own values first, then each sub-key's, in the order the registry gives.
    std::vector<std::wstring> expected;
    std::vector<std::vector<std::wstring>> expectedRows;
    auto expect = [&](const std::wstring& path) {
      sys::RegKey k;
      k.OpenRead(HKEY_CURRENT_USER, path);
      for (const std::wstring& name : k.ValueNames()) {
        std::wstring data = k.ValueType(name) == REG_SZ ? k.ReadString(name) : L"";
        expected.push_back(L"HKEY_CURRENT_USER|" + path + L"|" + name + L"|" + data + L"|" +
                           std::to_wstring(c.image));
        expectedRows.push_back(KeyedRows(name, data, c.image, kMruText));
      }
    };
    expect(c.path);
    for (const std::wstring& sub : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, c.path))
      expect(c.path + L"\\" + sub);
    std::vector<Found> items = Items();
    ASSERT_EQ(5u, items.size()) << c.row;
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(expected[i], items[i].line);
      EXPECT_EQ(expectedRows[i], items[i].rows);
    }
  }
}

TEST_F(WindowsHistoryTest, MruReadsOnlyStringDataAndNamesTheRoot) {
  const std::wstring key = L"Software\\Typed";
  struct Value {
    const wchar_t* name;
    DWORD type;
    const wchar_t* data;
    const wchar_t* shown;
  } values[] = {{L"sz", REG_SZ, L"text", L"text"},
                {L"expand", REG_EXPAND_SZ, L"%TEMP%\\x", L"%TEMP%\\x"},
                {L"multi", REG_MULTI_SZ, L"one", L""},
                {L"", REG_SZ, L"default", L"default"}};
  struct Root {
    HKEY root;
    const wchar_t* text;
  } roots[] = {{HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
               {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"},
               {HKEY_CLASSES_ROOT, L"HKEY_LOCAL_MACHINE"}};  // any other root
  for (const Root& r : roots) {
    Reset();
    for (const Value& v : values) SetRegString(r.root, key, v.name, v.data, v.type);
    SetRegDword(r.root, key, L"dword", 5);
    scan::ScanRegistryMru(ctx, r.root, key, 42);
    std::map<std::wstring, std::wstring> shown{{L"dword", L""}};
    // The unnamed default value is listed under the clean's marker.
    for (const Value& v : values) shown[*v.name ? v.name : L"@D_e_f_a_u_l_t"] = v.shown;
    std::vector<Found> items = Items();
    ASSERT_EQ(shown.size(), items.size()) << r.text;
    for (const Found& f : items) {
      EXPECT_EQ(r.text, f.item.Text);
      EXPECT_EQ(key, f.item.Location);
      EXPECT_EQ(shown.at(f.item.Detail), f.item.ValueData) << f.item.Detail;
      EXPECT_EQ(KeyedRows(f.item.Detail, f.item.ValueData, 42, kMruText), f.rows);
    }
    EXPECT_EQ(int(shown.size()), pumps);
    EXPECT_TRUE(statuses.empty());
  }
  Reset();
  scan::ScanRegistryMru(ctx, HKEY_CURRENT_USER, L"Software\\Missing", 1);
  EXPECT_TRUE(Items().empty());
  EXPECT_EQ(0, pumps);
}

TEST_F(WindowsHistoryTest, EverySourceInTheTableIsFoundByItsRow) {
  std::set<int> rows;
  for (const scan::HistorySource& source : scan::HistorySources())
    rows.insert(RowOf(source.option));
  std::set<int> expectedRows{7, 28};
  for (int r = 33; r <= 42; ++r) expectedRows.insert(r);
  for (int r = 45; r <= 65; ++r) expectedRows.insert(r);
  EXPECT_EQ(expectedRows, rows);

  const std::wstring target = sandbox.file(L"target.exe");
  for (const scan::HistorySource& source : scan::HistorySources()) {
    Reset();
    std::vector<std::wstring> wanted;  // "Location|Text" of one finding per step
    for (const HistoryStep& step : source.steps) {
      if (step.kind == HistoryStep::Kind::Mru) {
        SetRegString(HKEY_CURRENT_USER, step.path, L"probe", L"data");
        wanted.push_back(std::wstring(step.path) + L"|HKEY_CURRENT_USER|" +
                         std::to_wstring(step.image));
      } else if (step.kind == HistoryStep::Kind::Folder) {
        if (!folders.special.count(step.csidl))
          Special(step.csidl, L"csidl" + std::to_wstring(step.csidl));
        const std::wstring folder = folders.special[step.csidl] + step.path;
        CreateFolders(folder);
        if (std::wstring(step.mask) == L"*.*") {
          sandbox.file(folder.substr(sandbox.path().size() + 1) + L"\\probe.txt", "abc");
          wanted.push_back(folder + L"|probe.txt|" + std::to_wstring(step.image));
        } else {
          ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(folder + L"\\probe.lnk", target)));
          wanted.push_back(folder + L"|probe.lnk");
        }
      }
    }
    scan::ScanHistorySource(ctx, source.option);
    std::vector<std::wstring> got;
    for (const Found& f : Items()) {
      got.push_back(f.item.Location + L"|" + f.item.Text + L"|" +
                    std::to_wstring(f.item.ImageIndex));
      got.push_back(f.item.Location + L"|" + f.item.Text);  // shortcuts carry their own icon
    }
    for (const std::wstring& w : wanted)
      EXPECT_NE(got.end(), std::find(got.begin(), got.end(), w))
          << RowOf(source.option) << " " << w;
    if (source.status) {
      ASSERT_FALSE(statuses.empty()) << RowOf(source.option);
      EXPECT_EQ(std::wstring(L"分析: ") + source.status, statuses.front());
    }
  }
}

TEST_F(WindowsHistoryTest, EventLogsWithMoreThanTwoRecordsBecomeItems) {
  sys::ScopedEventLogApi savedApi;
  FakeLogStore store;
  store.Install(sandbox.dir(L"Windows"));
  sandbox.file(L"Windows\\System32\\config\\AppEvent.Evt", std::string(1234, 'a'));
  const std::wstring logs = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\";
  struct Log {
    const wchar_t* name;
    int records;
    const wchar_t* file;
  } all[] = {{L"Application", 3, L"%SystemRoot%\\System32\\config\\AppEvent.Evt"},
             {L"Security", 3, nullptr},
             {L"Setup", 0, nullptr},
             {L"System", 2, L"%SystemRoot%\\System32\\config\\AppEvent.Evt"}};
  for (const Log& l : all) {
    CreateRegKey(HKEY_LOCAL_MACHINE, logs + l.name);
    if (l.file) SetRegString(HKEY_LOCAL_MACHINE, logs + l.name, L"File", l.file);
    store.records[l.name] = l.records;
  }
  const std::map<std::wstring, std::vector<std::wstring>> expectedItems = {
      {L"Application",
       {L"应用程序|共有3条日志记录|Application|EventLog|27", RowLine(L"大小", L"1234 Byte", 20),
        RowLine(L"日志名", L"Application", 20),
        RowLine(L"说明", L"Windows系统记录的日志信息", 27)}},
      {L"Security",
       {L"安全|共有3条日志记录|Security|EventLog|27", RowLine(L"日志名", L"Security", 20),
        RowLine(L"说明", L"Windows系统记录的日志信息", 27)}}};

  scan::ScanHistorySource(ctx, catalogue::OptionId::EventLogs);

  std::vector<std::wstring> wantStatuses;
  std::vector<std::vector<std::wstring>> want;
  for (const std::wstring& name : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, logs)) {
    if (name == L"Setup") continue;  // holds no record: not a log of the manager
    wantStatuses.push_back(L"分析: " + sys::EventLogDisplayName(name));
    if (expectedItems.count(name)) want.push_back(expectedItems.at(name));
  }
  std::vector<std::vector<std::wstring>> got;
  for (const Found& f : Items()) {
    got.push_back({f.line});
    got.back().insert(got.back().end(), f.rows.begin(), f.rows.end());
  }
  EXPECT_EQ(want, got);
  EXPECT_EQ(wantStatuses, statuses);
  EXPECT_EQ(1234, results.SizeTotal());  // the two-record log's file does not count

  // After a clean nothing is added, so nothing is counted either.
  Reset();
  results.SetCleaned();
  scan::ScanHistorySource(ctx, catalogue::OptionId::EventLogs);
  EXPECT_TRUE(Items().empty());
  EXPECT_EQ(0, results.SizeTotal());
}

TEST_F(WindowsHistoryTest, TrayIconKeyDependsOnTheMajorVersion) {
  const std::wstring oldKey = kExplorer + L"TrayNotify";
  const std::wstring newKey =
      L"Software\\Classes\\Local "
      L"Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\TrayNotify";
  for (const std::wstring& k : {oldKey, newKey}) {
    SetRegBinary(HKEY_CURRENT_USER, k, L"IconStreams", "\x01\x02");
    SetRegBinary(HKEY_CURRENT_USER, k, L"PastIconsStream", "\x03");
    SetRegString(HKEY_CURRENT_USER, k, L"Other", L"ignored");
  }
  struct Case {
    int major;
    std::wstring key;
  } cases[] = {{5, oldKey}, {6, newKey}, {10, newKey}};
  for (const Case& c : cases) {
    Reset();
    os.MajorVersion = c.major;
    scan::ScanHistorySource(ctx, catalogue::OptionId::TrayIcons);
    std::vector<Found> items = Items();
    ASSERT_EQ(2u, items.size()) << c.major;
    const wchar_t* names[] = {L"IconStreams", L"PastIconsStream"};
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(L"HKEY_CURRENT_USER|" + c.key + L"|" + names[i] + L"||8", items[i].line);
      EXPECT_EQ(KeyedRows(names[i], L"", 8, L"通知区域图标历史记录"), items[i].rows);
    }
    EXPECT_TRUE(statuses.empty());
  }
  Reset();
  os.MajorVersion = 5;
  sys::RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.OpenWrite(HKEY_CURRENT_USER, oldKey));
  k.DeleteValue(L"IconStreams");
  scan::ScanHistorySource(ctx, catalogue::OptionId::TrayIcons);
  EXPECT_EQ(std::vector<std::wstring>{L"HKEY_CURRENT_USER|" + oldKey + L"|PastIconsStream||8"},
            Lines());
}

TEST_F(WindowsHistoryTest, KuGooFolderByVersionAndBitness) {
  ScopedEnvironment env(L"Localappdata");
  const std::wstring local = sandbox.dir(L"Local");
  const std::wstring program = sandbox / L"KuGoo\\KuGoo.exe";
  const std::wstring store = local + L"\\VirtualStore\\Program Files\\KuGoo2007\\";
  struct Case {
    const wchar_t* appFileName;  // null: no value
    int major;
    bool wow64;
    std::wstring localAppData;
    std::wstring folder;
  } cases[] = {
      {program.c_str(), 5, false, local, sandbox / L"KuGoo\\"},
      {program.c_str(), 6, true, local, sandbox / L"KuGoo\\"},
      {program.c_str(), 6, false, local, store},
      {program.c_str(), 10, false, local + L"\\", store},
      {program.c_str(), 6, false, L"", L""},
      {L"", 5, false, local, L""},
      {nullptr, 6, false, local, L""},
      {L"KuGoo.exe", 5, false, local, L""},  // no folder part
  };
  for (const Case& c : cases) {
    sys::DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\KuGoo4");
    if (c.appFileName)
      SetRegString(HKEY_CURRENT_USER, L"Software\\KuGoo4", L"AppFileName", c.appFileName);
    os.MajorVersion = c.major;
    os.IsWow64 = c.wow64;
    env.Set(c.localAppData);
    EXPECT_EQ(c.folder, scan::KuGooDataFolder(ctx)) << c.major << " " << c.wow64;
  }

  // On a 32-bit Vista-class system the settings in the program's folder are not the live ones.
  SetRegString(HKEY_CURRENT_USER, L"Software\\KuGoo4", L"AppFileName", program);
  env.Set(local);
  os.MajorVersion = 6;
  os.IsWow64 = false;
  const std::wstring live =
      sandbox.file(L"Local\\VirtualStore\\Program Files\\KuGoo2007\\123\\Option.ini",
                   "[SearchItems]\r\nCount=5\r\n");
  sandbox.file(L"KuGoo\\456\\Option.ini", "[SearchItems]\r\nCount=3\r\n");
  Reset();
  scan::ScanHistorySource(ctx, catalogue::OptionId::KuGoo);
  std::vector<Found> items = Items();
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(L"酷狗", items[0].item.Text);
  EXPECT_EQ(live, items[0].item.Location);
  EXPECT_EQ(std::vector<std::wstring>{L"分析: 酷狗"}, statuses);
}

TEST_F(WindowsHistoryTest, AcrobatRecentFilesAreKeyItemsWithOnlyTheirDescription) {
  const std::wstring base = L"Software\\Adobe\\Acrobat Reader\\";
  SetRegString(HKEY_CURRENT_USER, base + L"8.0\\AVGeneral\\cRecentFiles\\c1", L"tDIText",
               L"/C/a.pdf");
  SetRegString(HKEY_CURRENT_USER, base + L"8.0\\AVGeneral\\cRecentFiles\\c2", L"tDIText",
               L"/C/b.pdf");
  SetRegString(HKEY_CURRENT_USER, base + L"8.0\\AVGeneral\\cRecentFiles", L"ignored", L"x");
  CreateRegKey(HKEY_CURRENT_USER, base + L"9.0\\AVGeneral\\cRecentFiles\\c1");
  CreateRegKey(HKEY_CURRENT_USER, base + L"10.0\\Other");

  scan::ScanHistorySource(ctx, catalogue::OptionId::AcrobatReader);

  std::vector<std::wstring> want;
  for (const std::wstring& v : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, base)) {
    const std::wstring list = base + v + L"\\AVGeneral\\cRecentFiles";
    for (const std::wstring& n : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, list))
      want.push_back(L"HKEY_CURRENT_USER|" + list + L"\\" + n + L"|||50");
  }
  ASSERT_EQ(3u, want.size());
  EXPECT_EQ(want, Lines());
  for (const Found& f : Items())
    EXPECT_EQ(std::vector<std::wstring>{RowLine(L"说明", L"Acrobat Reader阅读器", 50)}, f.rows);
  EXPECT_EQ(std::vector<std::wstring>{L"分析: Acrobat Reader阅读器"}, statuses);
}

TEST_F(WindowsHistoryTest, WordSettingsValuesThenItsFileMru) {
  const std::wstring office = L"Software\\Microsoft\\Office\\";
  SetRegBinary(HKEY_CURRENT_USER, office + L"9.0\\Word\\Data", L"Settings", "\x01");
  SetRegBinary(HKEY_CURRENT_USER, office + L"10.0\\Word\\Data", L"Other", "\x01");
  SetRegBinary(HKEY_CURRENT_USER, office + L"11.0\\Word\\Data", L"Settings", "\x01");
  SetRegString(HKEY_CURRENT_USER, office + L"12.0\\Word\\File MRU", L"Item 1", L"*C:\\a.doc");

  scan::ScanHistorySource(ctx, catalogue::OptionId::Word);

  std::vector<Found> items = Items();
  ASSERT_EQ(3u, items.size());
  EXPECT_EQ(L"HKEY_CURRENT_USER|" + office + L"9.0\\Word\\Data|Settings||21", items[0].line);
  EXPECT_EQ(L"HKEY_CURRENT_USER|" + office + L"11.0\\Word\\Data|Settings||21", items[1].line);
  EXPECT_EQ(KeyedRows(L"Settings", L"", 21, L"Microsoft Word"), items[1].rows);
  EXPECT_EQ(L"HKEY_CURRENT_USER|" + office + L"12.0\\Word\\File MRU|Item 1|*C:\\a.doc|21",
            items[2].line);
  EXPECT_EQ(KeyedRows(L"Item 1", L"*C:\\a.doc", 21, kMruText), items[2].rows);
  EXPECT_EQ(
      std::vector<std::wstring>{L"分析: HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\...\\Word"},
      statuses);
}

TEST_F(WindowsHistoryTest, KMPlayerRecentFile) {
  const std::wstring key = L"Software\\KMPlayer\\KMP2.0\\OptionArea";
  struct Case {
    bool value, file;
  } cases[] = {{true, true}, {true, false}, {false, true}};
  for (const Case& c : cases) {
    Reset();
    sys::DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\KMPlayer");
    RemoveTree(sandbox / L"KMP");
    if (c.value)
      SetRegString(HKEY_CURRENT_USER, key, L"InstallPath", sandbox / L"KMP\\KMPlayer.exe");
    if (c.file) sandbox.file(L"KMP\\plugins\\ml\\recent.dat");
    scan::ScanHistorySource(ctx, catalogue::OptionId::KMPlayer);
    std::vector<Found> items = Items();
    if (c.value && c.file) {
      ASSERT_EQ(1u, items.size());
      EXPECT_EQ(L"recent.dat|" + (sandbox / L"KMP\\plugins\\ml") + L"|||33", items[0].line);
      EXPECT_EQ(std::vector<std::wstring>{RowLine(L"说明", L"KMPlayer播放器", 33)}, items[0].rows);
    } else {
      EXPECT_TRUE(items.empty());
    }
    EXPECT_EQ(std::vector<std::wstring>{L"分析: KMPlayer播放器"}, statuses);
  }
}

TEST_F(WindowsHistoryTest, SourcesThatForwardReachTheirScanners) {
  const std::wstring realPlayer = L"Software\\RealNetworks\\RealPlayer\\6.0\\Preferences";
  const std::wstring userAssist =
      kExplorer + L"UserAssist\\{75048700-EF1F-11D0-9888-006097DEACF9}\\Count";
  SetRegString(HKEY_CURRENT_USER, realPlayer + L"\\MostRecentClips1", L"", L"file:///a.rm");
  SetRegBinary(HKEY_CURRENT_USER, userAssist, L"MyProgram", std::string(16, '\0'));
  CreateRegKey(HKEY_CURRENT_USER, kExplorer + L"FileExts\\.zzq");
  SetRegString(HKEY_CURRENT_USER, L"Software\\Maxthon2", L"Folder", sandbox / L"mx2");
  sandbox.file(L"mx2\\user@site\\Data\\Session.ini", "[a]\r\n");
  SetRegString(HKEY_CURRENT_USER, L"Software\\Maxthon", L"Folder", sandbox / L"mx1");
  sandbox.file(L"mx1\\Config\\Dynamic.ini", "[a]\r\n");
  struct Case {
    int row;
    std::vector<std::wstring> locations;
  } cases[] = {
      {51, {realPlayer + L"\\MostRecentClips1"}},
      {40, {userAssist}},
      {39, {kExplorer + L"FileExts\\.zzq"}},
      // The Maxthon 2 folder is given with a trailing backslash.
      {63, {sandbox / L"mx2\\user@site\\Data\\", sandbox / L"mx1\\Config\\"}},
  };
  for (const Case& c : cases) {
    Reset();
    scan::ScanHistorySource(ctx, OptionOfRow(c.row));
    std::vector<std::wstring> got;
    for (const Found& f : Items()) got.push_back(f.item.Location);
    EXPECT_EQ(c.locations, got) << c.row;
  }
}

TEST_F(WindowsHistoryTest, FlashSharedObjectsStopWithTheScanButNotItsSettingsFolder) {
  Special(CSIDL_APPDATA, L"AppData");
  sandbox.file(L"AppData\\Macromedia\\Flash Player\\#SharedObjects\\X1\\site.com\\a.sol");
  sandbox.file(L"AppData\\Macromedia\\Flash Player\\#SharedObjects\\X2\\b.sol");
  sandbox.file(
      L"AppData\\Macromedia\\Flash "
      L"Player\\macromedia.com\\support\\flashplayer\\sys\\settings.sol");
  struct Case {
    bool stopped;
    std::set<std::wstring> texts;
  } cases[] = {{false, {L"site.com", L"a.sol", L"b.sol", L"settings.sol"}},
               {true, {L"settings.sol"}}};
  for (const Case& c : cases) {
    Reset();
    stop = c.stopped;
    scan::ScanHistorySource(ctx, catalogue::OptionId::FlashPlayer);
    std::set<std::wstring> texts;
    for (const Found& f : Items()) texts.insert(f.item.Text);
    EXPECT_EQ(c.texts, texts) << c.stopped;
  }
}

TEST_F(WindowsHistoryTest, RecentFolderIsListedOnceWhenTheProfileHoldsIt) {
  Special(CSIDL_PROFILE, L"Profile");
  const std::wstring recent = sandbox.dir(L"Profile\\Recent");
  ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(recent + L"\\a.lnk", sandbox.file(L"a.txt"))));
  folders.special[CSIDL_RECENT] = sandbox / L"PROFILE\\Recent\\";  // as the shell may spell it
  scan::ScanHistorySource(ctx, OptionOfRow(38));
  std::vector<Found> items = Items();
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(L"a.lnk", items[0].item.Text);
}

TEST_F(WindowsHistoryTest, RowsWithoutASourceDoNothing) {
  SetRegString(HKEY_CURRENT_USER, kExplorer + L"RunMRU", L"a", L"cmd");
  for (int row : {0, 1, 3, 8, 29, 32, 43, 44, 66, 74, 75})
    scan::ScanHistorySource(ctx, OptionOfRow(row));
  EXPECT_TRUE(Items().empty());
  EXPECT_TRUE(statuses.empty());
  EXPECT_EQ(0, pumps);
}
