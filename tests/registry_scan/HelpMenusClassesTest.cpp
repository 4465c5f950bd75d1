// Help files, Start-menu order keys, context-menu handlers and file classes on the
// hermetic registry and sandbox folders.
#include <shlobj.h>

#include "sys/Views.h"
#include "tests/registry_scan/RegistryScanFixture.h"
#include "tests/support/ViewFakes.h"

using namespace testsupport;
using registry_scan::ScanContextMenuHandlers;
using registry_scan::ScanFileClasses;
using registry_scan::ScanHelpFiles;
using registry_scan::ScanStartMenuOrder;

namespace {

const std::wstring kHelp = L"Software\\Microsoft\\Windows\\Help";
const std::wstring kHtmlHelp = L"Software\\Microsoft\\Windows\\HTML Help";
const std::wstring kMenuOrder = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\";
const std::wstring kClasses = L"Software\\CLASSES\\";
const std::wstring kHandlers = kClasses + L"*\\shellex\\ContextMenuHandlers\\";


void SetDefault(const std::wstring& key, const std::wstring& text) {
  SetRegString(HKEY_LOCAL_MACHINE, key, L"", text);
}

}  // namespace

class HelpMenusClassesTest : public RegistryScanTest {};

TEST_F(HelpMenusClassesTest, HelpFilesByDriveFolderAndText) {
  const std::wstring here = sandbox.file(L"Docs\\here.chm");
  const std::wstring docs = sandbox / L"Docs";
  const std::wstring gone = sandbox / L"Gone";
  std::wstring goneLower = gone;
  goneLower[0] = wchar_t(towlower(goneLower[0]));
  struct Case {
    std::wstring key, name, text, data;
    bool reported;
  } cases[] = {
      {kHelp, L"gone.hlp", gone, gone + L"\\", true},
      {kHelp, L"gone2.hlp", goneLower + L"\\", goneLower + L"\\", true},
      {kHelp, L"here.chm", docs, L"", false},
      {kHelp, L"gone.chm", folders.windows + L"\\Help", L"", false},
      {kHelp, L"floppy.hlp", L"A:\\Help\\", L"", false},
      {kHelp, L"floppy2.hlp", L"B:\\Help\\", L"", false},
      {kHelp, L"short.hlp", L"C:", L"", false},
      // A drive that is not there now proves nothing.
      {kHelp, L"unplugged.hlp", AbsentDrive() + L"\\VelmoraNoHelp", L"", false},
      {kHtmlHelp, L"relative.chm", L"Help\\Files", L"", false},
      {kHtmlHelp, L"here.chm", L"", L"", true},  // empty text: always
      {kHtmlHelp, L"gone3.chm", docs + L"\\", docs + L"\\", true},
  };
  Names expected;
  for (const Case& c : cases) {
    SetRegString(HKEY_LOCAL_MACHINE, c.key, c.name, c.text);
    if (c.reported) expected.push_back(Finding(L"HKEY_LOCAL_MACHINE", c.key, c.name, c.data, 54));
  }
  // Values that are not text are left alone, whatever their bytes say.
  SetRegDword(HKEY_LOCAL_MACHINE, kHtmlHelp, L"number.chm", 7);
  const std::wstring bytes = docs + L"\\";
  SetRegBinary(HKEY_LOCAL_MACHINE, kHtmlHelp, L"binary.chm",
               std::string(reinterpret_cast<const char*>(bytes.c_str()), bytes.size() * 2 + 2));

  ScanHelpFiles(ctx);

  EXPECT_EQ(Sorted(expected), Sorted(Findings()));
  EXPECT_EQ(int(expected.size()), pumps);
  EXPECT_TRUE(statuses.empty());

  // The same folders on a removable disk: only the empty text stays a finding.
  sys::ScopedViewApis keep;
  sys::Drives().type = [](const std::wstring&) { return UINT(DRIVE_REMOVABLE); };
  sys::ForgetDrives();
  Reset();
  ScanHelpFiles(ctx);
  EXPECT_EQ(Names{Finding(L"HKEY_LOCAL_MACHINE", kHtmlHelp, L"here.chm", L"", 54)}, Findings());
}

TEST_F(HelpMenusClassesTest, MenuOrderKeysMatchFoldersAlsoByTheirChineseNames) {
  folders.special[CSIDL_COMMON_PROGRAMS] = sandbox.dir(L"All\\Programs");
  folders.special[CSIDL_PROGRAMS] = sandbox.dir(L"User\\Programs");
  for (const wchar_t* d : {L"All\\Programs\\Accessories\\System Tools",
                           L"All\\Programs\\Accessories\\Communications", L"All\\Programs\\Games",
                           L"User\\Programs\\Accessories\\Extra", L"User\\Programs\\Mine"})
    sandbox.dir(d);
  const std::wstring start = kMenuOrder + L"Start Menu\\Programs";
  const std::wstring start2 = kMenuOrder + L"Start Menu2\\Programs";
  for (const std::wstring& k :
       {start + L"\\Accessories", start + L"\\附件\\系统工具", start + L"\\Menu", start + L"\\Gone",
        start + L"\\Accessories\\Extra", start + L"\\games", start + L"\\附件\\Gone",
        start2 + L"\\游戏", start2 + L"\\Mine",
        start2 + L"\\Accessories\\Communications\\HyperTerminal"})
    CreateRegKey(HKEY_CURRENT_USER, k);

  ScanStartMenuOrder(ctx);

  // Not "games" (the folder is "Games"), nor the user-only sub-folder of a folder both
  // programs folders have, which the folder list leaves out: both exist.
  EXPECT_EQ(Sorted({Finding(L"HKEY_CURRENT_USER", start + L"\\Gone", L"", L"Gone", 8),
                    Finding(L"HKEY_CURRENT_USER", start + L"\\附件\\Gone", L"", L"Accessories\\Gone", 8)}),
            Sorted(Findings()));
  EXPECT_EQ(Names(2, L"无效的菜单"), DescriptionRows());
  EXPECT_EQ(2, pumps);
}

TEST_F(HelpMenusClassesTest, MenuFolderListSkipsLinksAndRepeatedNames) {
  const std::wstring common = sandbox.dir(L"All\\Programs");
  sandbox.dir(L"All\\Programs\\Tools\\Deep");
  sandbox.dir(L"User\\Programs\\tools\\UserOnly");
  sandbox.dir(L"Elsewhere\\Inside");
  ASSERT_TRUE(MakeFolderLink(common + L"\\Linked", sandbox / L"Elsewhere"));
  std::vector<std::wstring> list;
  registry_scan::ListMenuFolders(common, L"", list);
  registry_scan::ListMenuFolders(sandbox / L"User\\Programs", L"", list);
  EXPECT_EQ((Names{L"Tools", L"\\Tools\\Deep"}), list);
}

TEST_F(HelpMenusClassesTest, ContextMenuHandlersNeedTheirClassUnderOneOfTheirNames) {
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{BBBB}");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{CCCC}");
  const struct {
    std::wstring handler, value;
    bool reported;
  } cases[] = {
      {L"Gone", L"{AAAA}", true},
      {L"Fine", L"{BBBB}", false},
      {L"{CCCC}", L"{DDDD}", false},
      {L"New", L"{b41db860-64e4-11d2-9906-e49fadc173ca}", false},
      {L"Blank", L"", false},
  };
  Names expected;
  for (const auto& c : cases) {
    SetDefault(kHandlers + c.handler, c.value);
    if (c.reported) expected.push_back(Finding(L"HKEY_LOCAL_MACHINE", kHandlers + c.handler, L"", c.handler, 8));
  }
  ScanContextMenuHandlers(ctx, L"*");
  ScanContextMenuHandlers(ctx, L"Directory");
  EXPECT_EQ(expected, Findings());
  EXPECT_EQ(0, pumps);
}

TEST_F(HelpMenusClassesTest, ClassesFoundInTheOtherRegistryViewAreNotDead) {
  OtherRegistryView views;
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{HERE}");
  CreateRegKey(HKEY_LOCAL_MACHINE, views.PathOf(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{SHELL64}"));
  CreateRegKey(HKEY_LOCAL_MACHINE, views.PathOf(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{COM64}"));
  CreateRegKey(HKEY_LOCAL_MACHINE, views.PathOf(HKEY_LOCAL_MACHINE, kClasses + L"class64"));
  SetDefault(kHandlers + L"Shell64", L"{SHELL64}");
  SetDefault(kHandlers + L"Missing", L"{NOWHERE}");
  SetDefault(kClasses + L"Com64.Object\\CLSID", L"{COM64}");
  SetDefault(kClasses + L".ext64", L"class64");

  ScanContextMenuHandlers(ctx, L"*");
  ScanFileClasses(ctx);

  EXPECT_EQ(Names{kHandlers + L"Missing"}, Keys());
}

TEST_F(HelpMenusClassesTest, ExtensionKeysEmptyOrPointingNowhere) {
  for (const wchar_t* e : {L".empty", L".opc", L".pip"}) CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + e);
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L".bare\\Shell\\Open");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L".cmd1\\Shell\\Open\\Command");
  SetDefault(kClasses + L".named\\Shell", L"open");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L".named\\Shell\\Open");
  SetDefault(kClasses + L".lost", L"lostfile");
  SetDefault(kClasses + L".kept", L"keptfile");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"keptfile");
  SetDefault(kClasses + L".path", L"C:\\x");
  SetDefault(kClasses + L".withsub", L"lostfile");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L".withsub\\ShellNew");

  ScanFileClasses(ctx);

  EXPECT_EQ(Sorted({Finding(L"HKEY_LOCAL_MACHINE", kClasses + L".empty", L"", L".empty", 55),
                    Finding(L"HKEY_LOCAL_MACHINE", kClasses + L".bare", L"", L".bare", 55),
                    Finding(L"HKEY_LOCAL_MACHINE", kClasses + L".lost", L"", L"lostfile", 55)}),
            Sorted(Findings()));
  for (const std::wstring& s : statuses) EXPECT_EQ(std::wstring::npos, s.find(L".opc"));
  EXPECT_NE(statuses.end(), std::find(statuses.begin(), statuses.end(), L"分析: .kept"));
}

TEST_F(HelpMenusClassesTest, VerbRulesChooseTheKeyToReport) {
  const std::wstring gone = L"\"" + sandbox / L"gone\\app.exe" + L"\" \"%1\"";
  const std::wstring here = L"\"" + sandbox.file(L"app\\here.exe") + L"\" \"%1\"";
  auto verb = [](const std::wstring& cls, const std::wstring& v, const std::wstring& command) {
    SetDefault(kClasses + cls + L"\\Shell\\" + v + L"\\Command", command);
  };
  // Empty command, two verbs: nothing; a missing program: the verb key.
  verb(L"twoverbs", L"open", L"");
  verb(L"twoverbs", L"edit", here);
  verb(L"twogone", L"open", gone);
  verb(L"twogone", L"edit", here);
  // One verb and nothing else: the whole class, and its extension with it.
  verb(L"solo", L"open", gone);
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"solo\\DefaultIcon");
  SetDefault(kClasses + L".solo", L"solo");
  // One verb in a class with more: the Shell key; with a valued Shell key, the verb key.
  verb(L"shelled", L"open", gone);
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"shelled\\CLSID");
  verb(L"valued", L"open", gone);
  SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"valued\\Shell", L"", L"open");
  SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"valued\\Shell", L"x", L"y");
  // A verb with three sub-keys: its Command key.
  verb(L"busy", L"open", gone);
  verb(L"busy", L"print", here);
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"busy\\Shell\\open\\ddeexec");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"busy\\Shell\\open\\Extra");
  // Never: no Command key, rundll32 with its library, no drive path, a delegated verb, a
  // present program.
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"nocommand\\Shell\\open");
  verb(L"rundll", L"open", L"C:\\Windows\\system32\\RUNDLL32.EXE " + sandbox.file(L"app\\x.dll") + L",Run");
  // rundll32 is judged by its library, in any spelling.
  const std::wstring goneDll = L"rundll32 " + sandbox / L"gone\\x.dll,Run %1";
  verb(L"rungone", L"open", goneDll);
  verb(L"rungone", L"print", here);
  verb(L"nodrive", L"open", L"gone.exe %1");
  verb(L"delegated", L"open", L"");
  SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"delegated\\Shell\\open\\Command", L"DelegateExecute",
               L"{DE}");
  verb(L"fine", L"open", here);

  ScanFileClasses(ctx);

  EXPECT_EQ(Sorted({kClasses + L"twogone\\Shell\\open", kClasses + L"solo", kClasses + L".solo",
                    kClasses + L"rungone\\Shell\\open",
                    kClasses + L"shelled\\Shell", kClasses + L"valued\\Shell\\open",
                    kClasses + L"busy\\Shell\\open\\Command"}),
            Keys());
  for (const std::wstring& f : Findings())
    if (f.find(L"|" + kClasses + L".solo|") != std::wstring::npos)
      EXPECT_EQ(Finding(L"HKEY_LOCAL_MACHINE", kClasses + L".solo", L"", L"solo", 55), f);
    else
      EXPECT_TRUE(f.find(L"|" + gone + L"|55") != std::wstring::npos ||
                  f.find(L"|" + goneDll + L"|55") != std::wstring::npos)
          << f;
}

TEST_F(HelpMenusClassesTest, ClassesAreResolvedAsWindowsResolvesThem) {
  const std::wstring gone = L"\"" + sandbox / L"gone\\app.exe" + L"\" \"%1\"";
  const std::wstring here = L"\"" + sandbox.file(L"app\\here.exe") + L"\" \"%1\"";
  auto verb = [](const std::wstring& cls, const std::wstring& v, const std::wstring& command) {
    SetDefault(kClasses + cls + L"\\Shell\\" + v + L"\\Command", command);
  };
  // A class and a COM server registered for this user only.
  CreateRegKey(HKEY_CURRENT_USER, L"Software\\Classes\\userclass");
  CreateRegKey(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\{USER}");
  SetDefault(kClasses + L".userext", L"userclass");
  SetDefault(kClasses + L"User.Object\\CLSID", L"{USER}");
  SetDefault(kHandlers + L"UserHandler", L"{USER}");
  // "CurVer" names the class Windows uses: a live one there saves the old class; a
  // missing one does not.
  verb(L"Tool.Doc", L"open", gone);
  SetDefault(kClasses + L"Tool.Doc\\CurVer", L"Tool.Doc.2");
  verb(L"Tool.Doc.2", L"open", here);
  verb(L"Old.Doc", L"open", gone);
  SetDefault(kClasses + L"Old.Doc\\CurVer", L"Old.Doc.9");
  // Verbs an installer advertises or a COM object carries out, whatever their command.
  SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"advertised\\Shell\\open\\Command", L"command",
               L"descriptor", REG_MULTI_SZ);
  verb(L"handled", L"open", gone);
  SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"handled\\Shell\\open", L"ExplorerCommandHandler",
               L"{H}");
  verb(L"dropped", L"open", gone);
  SetDefault(kClasses + L"dropped\\Shell\\open\\DropTarget", L"{D}");
  verb(L"delegated", L"open", gone);
  SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"delegated\\Shell\\open\\Command", L"DelegateExecute",
               L"{DE}");
  // Names compare without regard to case: ".OPC" is ".opc", never examined.
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L".OPC");

  ScanContextMenuHandlers(ctx, L"*");
  ScanFileClasses(ctx);

  EXPECT_EQ(Names{kClasses + L"Old.Doc\\Shell"}, Keys());
}

TEST_F(HelpMenusClassesTest, ClassesWithoutVerbsByIconAndIdentifier) {
  const std::wstring goneIcon = sandbox / L"gone\\icons.dll,3";
  SetDefault(kClasses + L"iconless", L"Iconless file");
  SetDefault(kClasses + L"iconless\\DefaultIcon", goneIcon);
  SetDefault(kClasses + L"iconkept\\DefaultIcon", sandbox.file(L"icons\\kept.dll") + L",1");
  // Variables are expanded before the path is judged.
  SetDefault(kClasses + L"iconsys\\DefaultIcon", L"%VelmoraIcons%\\gone.dll,1");
  ScopedEnvironment icons(L"VelmoraIcons", sandbox.path());
  SetDefault(kClasses + L"iconmore\\DefaultIcon", goneIcon);
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"iconmore\\Other");
  SetDefault(kClasses + L"Dead.Object", L"Dead object");
  SetDefault(kClasses + L"Dead.Object\\CLSID", L"{DEAD}");
  SetDefault(kClasses + L"Live.Object\\CLSID", L"{LIVE}");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{LIVE}");
  SetDefault(kClasses + L"Odd.Object\\CLSID", L"{DEAD}x");
  SetDefault(kClasses + L"HeaderFooter.HeaderFooter.1\\CLSID", L"{DEAD}");

  ScanFileClasses(ctx);

  EXPECT_EQ(Sorted({Finding(L"HKEY_LOCAL_MACHINE", kClasses + L"iconless", L"", L"Iconless file", 55),
                    Finding(L"HKEY_LOCAL_MACHINE", kClasses + L"iconsys", L"", L"", 55),
                    Finding(L"HKEY_LOCAL_MACHINE", kClasses + L"Dead.Object", L"", L"Dead object", 55)}),
            Sorted(Findings()));
}

TEST_F(HelpMenusClassesTest, FileClassesStopBeforeTheNextClass) {
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L".empty");
  stop = true;
  ScanFileClasses(ctx);
  EXPECT_TRUE(Findings().empty());
  EXPECT_TRUE(statuses.empty());
}
