// The registry scanners' judgement of one entry, each a function of its own: the scanners'
// loops call them, and the clean calls them again on what it is about to delete, so that
// both decide by the same rules. A judgement reads the registry and the file system as
// they are now and never writes.
#pragma once
#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sys/Registry.h"
#include "sys/Views.h"

namespace machine {
struct Folders;
class TTarnOSInfo;
}  // namespace machine

namespace registry_scan {

struct JudgeCache;

// What the judgements read of the machine. `cache` holds look-ups a scan makes once for
// all its entries; without one (the clean) every look-up asks the registry.
struct JudgeContext {
  const machine::Folders& folders;
  const machine::TTarnOSInfo& os;
  const JudgeCache* cache = nullptr;
};

// The judgement of one entry. When `dead`, the finding stands for `key` (below `root`,
// in registry view `view`), for its value `valueName` when that is not empty, and shows
// `data` on its row "键值或分析结果". `along` are findings that belong to it and go
// with it (an installer product's registrations with its uninstall entry).
struct Verdict {
  bool dead = false;
  std::wstring root;  // "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"
  std::wstring key;
  std::wstring valueName;
  std::wstring data;
  sys::RegView view = sys::RegView::Default;
  std::vector<Verdict> along;
};

// --- values: `key` is the open key the value lives in ----------------------------------

// A value of "SharedDlls": its name is a file, its data the file's reference count.
Verdict JudgeSharedDll(const JudgeContext& ctx, const sys::RegKey& key, const std::wstring& name);
// A value of "Installer\Folders": its name is a folder the installer service made.
Verdict JudgeInstallerFolder(const JudgeContext& ctx, const sys::RegKey& key,
                             const std::wstring& name);
// A value of "Help" or "HTML Help" (`keyPath` below HKEY_LOCAL_MACHINE): its name is a
// help file, its data the folder holding it.
Verdict JudgeHelpValue(const JudgeContext& ctx, const std::wstring& keyPath,
                       const sys::RegKey& key, const std::wstring& name);

// --- keys --------------------------------------------------------------------------------

// HKEY_LOCAL_MACHINE "Software\" + name, in the program's own view.
Verdict JudgeMachineSoftwareKey(const JudgeContext& ctx, const std::wstring& name);
// HKEY_CURRENT_USER "Software\" + name.
Verdict JudgeUserSoftwareKey(const JudgeContext& ctx, const std::wstring& name);
// An entry of the Add/Remove Programs cache ("App Management\ARPCache\" + name).
Verdict JudgeArpCacheEntry(const JudgeContext& ctx, const std::wstring& name);
// A program registered in "...\CurrentVersion\App Paths\" + name of the root
// ("HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"), in `view`: dead when its program is gone.
Verdict JudgeAppPath(const JudgeContext& ctx, const std::wstring& rootName,
                     const std::wstring& name, sys::RegView view = sys::RegView::Default);

// An uninstall entry: the key `name` below "...\CurrentVersion\Uninstall" in `view`. Its
// installer product's registrations come `along` when it is dead.
Verdict JudgeUninstallEntry(const JudgeContext& ctx, const std::wstring& name,
                            sys::RegView view = sys::RegView::Default);
// An installer product without a working uninstall entry, judged by its own
// "InstallProperties" below the products of the user `sid`; `productKey` is its packed code.
Verdict JudgeProductProperties(const JudgeContext& ctx, const std::wstring& sid,
                               const std::wstring& productKey);

// A Start-menu order key: `keyPath` below HKEY_CURRENT_USER, "...\MenuOrder\Start Menu\"
// or "...\Start Menu2\", a folder key ("Programs") and the path of the key below it.
Verdict JudgeMenuOrderKey(const JudgeContext& ctx, const std::wstring& keyPath);
// A context-menu handler: "Software\CLASSES\" + className + "\shellex\ContextMenuHandlers\"
// + handler.
Verdict JudgeContextMenuHandler(const JudgeContext& ctx, const std::wstring& className,
                                const std::wstring& handler);

// File classes below HKEY_LOCAL_MACHINE "Software\CLASSES". An extension key that is
// empty, or holds nothing but an empty "Shell\Open":
Verdict JudgeExtensionKey(const JudgeContext& ctx, const std::wstring& extension);
// An extension whose class is gone, or was judged dead as a whole (JudgeVerb reporting the
// class key); only extensions without sub-keys are judged so.
Verdict JudgeExtensionClass(const JudgeContext& ctx, const std::wstring& extension);
// A class without verbs, by its icon or its class identifier.
Verdict JudgeClassWithoutVerbs(const JudgeContext& ctx, const std::wstring& cls);
// One verb of a class; the finding is the verb's Command key, the verb key, the class's
// Shell key or the whole class, as much as goes with the verb.
Verdict JudgeVerb(const JudgeContext& ctx, const std::wstring& cls, const std::wstring& verb);

// Any finding of the scanners, by where it is: judged by the function above that made
// it. A place no scanner reports is never dead.
Verdict JudgeFinding(const JudgeContext& ctx, const std::wstring& rootName,
                     const std::wstring& keyPath, const std::wstring& valueName,
                     sys::RegView view = sys::RegView::Default);

// --- what a scan looks up once -------------------------------------------------------------

// One Windows Installer product registration below "SOFTWARE\Classes\Installer\Products".
struct TRegIcoPosition {
  std::wstring ProductName;
  std::wstring ProductIcon;
  std::wstring ProductKey;  // the packed product code (the key's name)
};
using ProductList = std::vector<std::unique_ptr<TRegIcoPosition>>;
// The products in registry order.
ProductList ReadInstallerProducts();

struct JudgeCache {
  // Machine "Software" key names in use, lower case (JudgeUserSoftwareKey).
  std::set<std::wstring> machineKeysInUse;
  // Uninstall key names, trimmed and lower case (JudgeArpCacheEntry).
  std::set<std::wstring> uninstallNames;
  // Installer products not yet matched to an uninstall entry, by packed code in lower case,
  // when `productsListed`.
  bool productsListed = false;
  std::unordered_map<std::wstring, const TRegIcoPosition*> products;
  // Start-menu folders as ListMenuFolders names them, and the programs folders.
  std::vector<std::wstring> menuFolders;
  std::vector<std::wstring> menuBases;
  // Classes judged dead as a whole so far, lower case (JudgeExtensionClass).
  std::unordered_set<std::wstring> deadClasses;
  // The class and CLSID names of the machine's and the user's classes in every view,
  // lower case, when `classesIndexed` (IndexClasses).
  bool classesIndexed = false;
  std::unordered_set<std::wstring> classNames;
  std::unordered_set<std::wstring> clsids;
};
// Lists the class and CLSID names into the cache, for a scan that looks up many.
void IndexClasses(JudgeCache& cache);

}  // namespace registry_scan
