#include "tests/support/DemoMachine.h"

#include <windows.h>
#include <shlobj.h>

#include "sys/Registry.h"
#include "sys/ShellLink.h"
#include "tests/support/BrowserDatabases.h"
#include "tests/support/Sandbox.h"

namespace testsupport {

namespace {

const wchar_t kHkcu[] = L"HKEY_CURRENT_USER";
const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

class Seeder {
 public:
  explicit Seeder(std::vector<DemoTrace>& out) : out_(out) {}

  // A registry value that a scan lists as one item (root, key, value name).
  void Value(const std::wstring& key, const std::wstring& name, const std::wstring& data) {
    SetRegString(HKEY_CURRENT_USER, key, name, data);
    out_.push_back({kHkcu, key});
  }
  void Binary(const std::wstring& key, const std::wstring& name) {
    SetRegBinary(HKEY_CURRENT_USER, key, name, std::string("\x01\x00\x02\x00", 4));
    out_.push_back({kHkcu, key});
  }
  void File(const std::wstring& path, const std::string& bytes) {
    WriteBytes(path, bytes);
    size_t cut = path.find_last_of(L'\\');
    out_.push_back({path.substr(cut + 1), path.substr(0, cut)});
  }
  void Ini(const std::wstring& file, const wchar_t* section, const wchar_t* key,
           const std::wstring& value) {
    CreateFolders(file.substr(0, file.find_last_of(L'\\')));
    WritePrivateProfileStringW(section, key, value.c_str(), file.c_str());
  }
  void Expect(const std::wstring& text, const std::wstring& location) {
    out_.push_back({text, location});
  }
  static void WriteBytes(const std::wstring& path, const std::string& bytes) {
    CreateFolders(path.substr(0, path.find_last_of(L'\\')));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(h);
  }

 private:
  std::vector<DemoTrace>& out_;
};

std::wstring NoSlash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// One database of a browser profile: made, its emptied tables expected as items.
void Database(Seeder& s, DemoBrowsers& out, const std::wstring& folder, const wchar_t* file,
              BrowserDb kind, int rows, Journal journal = Journal::Rollback) {
  const std::wstring path = folder + L"\\" + file;
  if (!MakeBrowserDatabase(path, kind, rows, journal)) return;
  for (const std::wstring& t : EmptiedTables(kind)) {
    out.emptied.push_back({path, t});
    s.Expect(file, folder + L"\\");
  }
  for (const std::wstring& t : KeptTables(kind)) out.kept.push_back({path, t});
}

// Files a clean deletes; each an item of its own folder.
void Files(Seeder& s, DemoBrowsers& out, const std::wstring& folder,
           std::initializer_list<std::pair<const wchar_t*, size_t>> files) {
  for (const auto& f : files) {
    const std::wstring path = folder + L"\\" + f.first;
    s.File(path, std::string(f.second, '\x5a'));
    out.files.push_back(path);
  }
}

// Vista and later keep the folders of earlier versions as links to the new ones.
void LegacyLink(const std::wstring& link, const std::wstring& target) {
  if (target.empty() || FileExistsW(link) ||
      GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES)
    return;
  CreateFolders(target);
  CreateFolders(link.substr(0, link.find_last_of(L'\\')));
  MakeFolderLink(link, target);
}

}  // namespace

DemoBrowsers SeedDemoBrowsers(const machine::Folders& folders, int majorVersion,
                              std::vector<DemoTrace>& traces) {
  DemoBrowsers out;
  Seeder s(traces);
  const std::wstring home = NoSlash(folders.Profile());
  const std::wstring local = NoSlash(folders.Special(CSIDL_LOCAL_APPDATA));
  if (!home.empty()) {
    if (majorVersion >= 6) {
      LegacyLink(home + L"\\Application Data", NoSlash(folders.Special(CSIDL_APPDATA)));
      LegacyLink(home + L"\\Local Settings\\Application Data", local);
    }
    CreateRegKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla\\Mozilla Firefox");
    SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla\\Mozilla Firefox", L"CurrentVersion",
                 L"3.6.28 (zh-CN)");
    const std::wstring profiles = home + L"\\Application Data\\Mozilla\\Firefox\\Profiles";
    const std::wstring caches =
        home + L"\\Local Settings\\Application Data\\Mozilla\\Firefox\\Profiles";
    // Firefox 3.6: rollback journals, downloads of their own, the cookie file of Firefox 2.
    const std::wstring old = profiles + L"\\v8a2kq1d.default";
    Database(s, out, old, L"places.sqlite", BrowserDb::FirefoxPlaces, 12);
    Database(s, out, old, L"downloads.sqlite", BrowserDb::FirefoxDownloads, 5);
    Database(s, out, old, L"formhistory.sqlite", BrowserDb::FirefoxFormHistory, 4);
    Database(s, out, old, L"cookies.sqlite", BrowserDb::FirefoxCookies, 6);
    Seeder::WriteBytes(old + L"\\cookies.txt", "# Netscape HTTP Cookie File\r\n");
    s.Expect(L"cookies.txt", old + L"\\");
    out.files.push_back(old + L"\\cookies.txt");
    Files(s, out, caches + L"\\v8a2kq1d.default\\Cache",
          {{L"_CACHE_MAP_", 4096}, {L"_CACHE_001_", 9000}, {L"_CACHE_002_", 0}});
    Files(s, out, caches + L"\\v8a2kq1d.default\\Cache\\3\\A1", {{L"B2C3Dd01", 2300}});
    // A current Firefox: WAL journals, downloads inside places, the cache in "cache2".
    const std::wstring current = profiles + L"\\q7mz3wxe.default-release";
    Database(s, out, current, L"places.sqlite", BrowserDb::FirefoxPlaces, 20, Journal::Wal);
    Database(s, out, current, L"formhistory.sqlite", BrowserDb::FirefoxFormHistory, 3, Journal::Wal);
    Database(s, out, current, L"cookies.sqlite", BrowserDb::FirefoxCookies, 8, Journal::Wal);
    const std::wstring cache2 = caches + L"\\q7mz3wxe.default-release\\cache2";
    Files(s, out, cache2, {{L"index", 1024}});
    Files(s, out, cache2 + L"\\entries",
          {{L"0A4F2C9E81D3B7A65F0E4D21C8B9A7F6E5D4C3B2", 15000},
           {L"7D1E5B2A9C8F4E3D2A1B0C9D8E7F6A5B4C3D2E1F", 3200}});
  }
  if (!local.empty()) {
    const std::wstring chrome = local + L"\\Google\\Chrome\\User Data\\Default";
    Database(s, out, chrome, L"History", BrowserDb::ChromeHistory, 5);
    Files(s, out, chrome, {{L"History Index 2009-01", 8192}});
    // Early versions: cookies and logins in the profile folder itself, a flat cache.
    Database(s, out, chrome, L"Cookies", BrowserDb::ChromeCookies, 4);
    Database(s, out, chrome, L"Web Data", BrowserDb::ChromeWebData, 2);
    Files(s, out, chrome + L"\\Cache",
          {{L"index", 256}, {L"data_0", 8192}, {L"data_1", 12000}, {L"f_000001", 5000}});
    // Current versions: "Login Data", "Network\\Cookies", "Cache\\Cache_Data", "Code Cache".
    Database(s, out, chrome, L"Login Data", BrowserDb::ChromeLoginData, 3);
    Database(s, out, chrome + L"\\Network", L"Cookies", BrowserDb::ChromeCookies, 6, Journal::Wal);
    Files(s, out, chrome + L"\\Cache\\Cache_Data", {{L"index", 256}, {L"f_00000a", 7000}});
    Files(s, out, chrome + L"\\Code Cache\\js", {{L"index", 24}, {L"9c1f3e2d7a6b5c4d_0", 4100}});
    Files(s, out, chrome + L"\\Code Cache\\wasm", {{L"index", 24}});
  }
  const std::wstring programs = NoSlash(folders.Special(CSIDL_PROGRAM_FILES));
  if (!programs.empty()) {
    // Opera 9 installed for one user: the profile inside the installation folder.
    const std::wstring opera = programs + L"\\Opera\\profile";
    s.Ini(opera + L"\\opera6.ini", L"User Prefs", L"Opera Directory", opera);
    s.Ini(opera + L"\\opera6.ini", L"User Prefs", L"Cache Directory4", opera + L"\\cache4");
    Files(s, out, opera,
          {{L"global.dat", 3000}, {L"vlink4.dat", 900}, {L"typed_history.xml", 400},
           {L"download.dat", 600}, {L"cookies4.dat", 1500}});
    Files(s, out, opera + L"\\cache4", {{L"opr00A1F", 6000}, {L"opr00A20", 2500}});
    const std::wstring session = opera + L"\\sessions\\autosave.win";
    s.Ini(session, L"session", L"window count", L"2");
    s.Ini(session, L"1", L"active", L"1");
    s.Ini(session, L"1history url", L"0", L"http://velmora.example/");
    s.Ini(session, L"2", L"active", L"0");
    s.Ini(session, L"2history url", L"0", L"http://velmora.example/notes");
    s.Expect(L"autosave.win", session);
  }
  return out;
}

std::vector<DemoTrace> SeedDemoMachine(const machine::Folders& folders,
                                       const std::wstring& localAppData, int majorVersion,
                                       bool wow64) {
  std::vector<DemoTrace> traces;
  SeedDemoBrowsers(folders, majorVersion, traces);
  Seeder s(traces);

  // System group: lists of recently used names.
  const std::wstring runMru = kExplorer + L"RunMRU";
  s.Value(runMru, L"a", L"notepad\\1");
  s.Value(runMru, L"b", L"regedit\\1");
  s.Value(runMru, L"MRUList", L"ab");
  s.Value(kExplorer + L"ComDlg32\\LastVisitedMRU", L"a", L"notepad.exe C:\\notes");
  s.Value(kExplorer + L"ComDlg32\\OpenSaveMRU\\txt", L"a", L"C:\\notes\\plan.txt");
  s.Binary(kExplorer + L"RecentDocs", L"0");
  s.Binary(kExplorer + L"RecentDocs\\.txt", L"0");
  const std::wstring userAssist =
      kExplorer + L"UserAssist\\{75048700-EF1F-11D0-9888-006097DEACF9}\\Count";
  // "UEME_RUNPATH:C:\Program Files\OldApp\oldapp.exe" and "UEME_UISCUT" in ROT13.
  s.Binary(userAssist, L"HRZR_EHACNGU:P:\\Cebtenz Svyrf\\ByqNcc\\byqncc.rkr");
  s.Binary(userAssist, L"HRZR_HVFPHG");
  // An extension that no program is registered for.
  const std::wstring ext = kExplorer + L"FileExts\\.velmora";
  CreateRegKey(HKEY_CURRENT_USER, ext + L"\\OpenWithList");
  s.Expect(kHkcu, ext);
  if (majorVersion >= 6) {
    s.Binary(L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\"
             L"TrayNotify",
             L"IconStreams");
  }
  // A shortcut among the recent documents.
  const std::wstring recent = NoSlash(folders.Special(CSIDL_RECENT));
  if (!recent.empty()) {
    CreateFolders(recent);
    std::wstring target = NoSlash(folders.Special(CSIDL_APPDATA)) + L"\\velmora-plan.txt";
    Seeder::WriteBytes(target, "plan");
    sys::CreateShortcut(recent + L"\\plan.lnk", target);
    s.Expect(L"plan.lnk", recent);
  }

  // The junk-file finder's temporary folder.
  const std::wstring temp = NoSlash(folders.temp);
  if (!temp.empty()) {
    for (int i = 1; i <= 6; ++i)
      s.File(temp + L"\\~DF" + std::to_wstring(i) + L".tmp", std::string(size_t(i) * 3000, '\0'));
    s.File(temp + L"\\Setup-4F2A\\install.log", "log of an old installer\r\n");
    s.File(temp + L"\\Setup-4F2A\\cache\\data.cab", std::string(40000, '\0'));
    CreateFolders(temp + L"\\empty-download");
    s.Expect(L"empty-download", temp + L"\\");
  }

  // Application group.
  s.Value(L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List",
          L"File1", L"C:\\pictures\\holiday.bmp");
  s.Value(L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List",
          L"File1", L"C:\\notes\\letter.rtf");
  s.Value(L"Software\\Microsoft\\Office\\11.0\\Excel\\Recent Files", L"File1",
          L"C:\\accounts\\2026.xls");
  s.Value(L"Software\\Microsoft\\Office\\12.0\\Word\\File MRU", L"Item 1",
          L"[F00000000][T01D9]*C:\\report.docx");
  s.Value(L"Software\\WinRAR\\ArcHistory", L"0", L"C:\\downloads\\setup.rar");
  const std::wstring acrobat =
      L"Software\\Adobe\\Acrobat Reader\\9.0\\AVGeneral\\cRecentFiles\\c1";
  CreateRegKey(HKEY_CURRENT_USER, acrobat);
  s.Expect(kHkcu, acrobat);

  const std::wstring appData = NoSlash(folders.Special(CSIDL_APPDATA));
  if (!appData.empty()) {
    const std::wstring uedit = appData + L"\\IDMComp\\UltraEdit\\Uedit32.ini";
    s.Ini(uedit, L"Recent File List", L"File1", L"C:\\src\\main.c");
    s.Ini(uedit, L"Recent File List", L"File2", L"C:\\src\\notes.txt");
    s.Expect(L"main.c", uedit);
    s.Expect(L"notes.txt", uedit);
  }
  const std::wstring local = NoSlash(localAppData);
  if (!local.empty() && majorVersion >= 6) {
    const std::wstring storm = local + L"\\VirtualStore\\ProgramData\\Storm\\config.xml";
    Seeder::WriteBytes(storm,
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><config><localplayhist>"
                       "<item file=\"C:\\movies\\a.rmvb\"/><item file=\"C:\\movies\\b.avi\"/>"
                       "</localplayhist></config>");
    s.Expect(L"暴风影音", storm);
  }
  const std::wstring programs = NoSlash(folders.Special(CSIDL_PROGRAM_FILES));
  if (!programs.empty()) {
    SetRegString(HKEY_CURRENT_USER, L"Software\\KuGoo4", L"AppFileName",
                 programs + L"\\KuGoo2007\\KuGoo.exe");
    // Where the scan looks: the virtual store on 32-bit Vista and later.
    std::wstring kugoo = majorVersion >= 6 && !wow64 && !local.empty()
                             ? local + L"\\VirtualStore\\Program Files\\KuGoo2007"
                             : programs + L"\\KuGoo2007";
    std::wstring option = kugoo + L"\\20081234\\Option.ini";
    s.Ini(option, L"SearchItems", L"Count", L"5");
    s.Expect(L"酷狗", option);

    const std::wstring maxthon = programs + L"\\Maxthon2";
    SetRegString(HKEY_CURRENT_USER, L"Software\\Maxthon2", L"Folder", maxthon);
    const std::wstring data = maxthon + L"\\demo@velmora.example\\Data\\";
    s.Ini(data + L"LastSession.ini", L"1", L"url", L"http://velmora.example/");
    s.Ini(data + L"Session.ini", L"Session", L"count", L"1");
    s.Ini(data + L"Dynamic.ini", L"SearchBar", L"0", L"velmora");
    for (const wchar_t* f : {L"LastSession.ini", L"Session.ini", L"Dynamic.ini"})
      s.Expect(f, data);
  }
  return traces;
}

}  // namespace testsupport
