// Runs the invalid-registry scanners, in the dispatcher's order, on the live (Wine)
// system and prints every finding: one line per finding, "scanner<TAB>root\key<TAB>value
// name<TAB>data", UTF-8. Reads only; used to look at what a clean would remove.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "catalogue/ResultModel.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"

int wmain() {
  machine::Folders folders = machine::Folders::FromSystem(GetDesktopWindow());
  machine::TTarnOSInfo os;
  catalogue::ResultModel results;
  catalogue::ScanContext ctx{results, folders, os, [] { return false; }, [] {},
                             [](const std::wstring&) {}};
  using Scan = std::function<void()>;
  const std::pair<const char*, Scan> scanners[] = {
      {"SharedDlls", [&] { registry_scan::ScanSharedDlls(ctx); }},
      {"SoftwareKeys", [&] { registry_scan::ScanSoftwareKeys(ctx); }},
      {"InstallerFolders", [&] { registry_scan::ScanInstallerFolders(ctx); }},
      {"UninstallEntries", [&] { registry_scan::ScanUninstallEntries(ctx); }},
      {"HelpFiles", [&] { registry_scan::ScanHelpFiles(ctx); }},
      {"StartMenuOrder", [&] { registry_scan::ScanStartMenuOrder(ctx); }},
      {"ContextMenuHandlers",
       [&] {
         for (const wchar_t* cls : {L"*", L"Directory", L"Folder", L"Drive"})
           registry_scan::ScanContextMenuHandlers(ctx, cls);
       }},
      {"FileClasses", [&] { registry_scan::ScanFileClasses(ctx); }},
  };
  for (const auto& s : scanners) {
    model::TreeNode* last = results.Tree().LastTopLevel();
    s.second();
    int count = 0;
    for (model::TreeNode* n = last ? last->NextSibling() : results.Tree().FirstTopLevel(); n;
         n = n->NextSibling(), ++count) {
      const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
      printf("%s\t%s\\%s\t%s\t%s\n", s.first, sys::ToUtf8(r->Text).c_str(),
             sys::ToUtf8(r->Location).c_str(), sys::ToUtf8(r->Detail).c_str(),
             sys::ToUtf8(r->ValueData).c_str());
    }
    printf("# %s: %d\n", s.first, count);
  }
  printf("# total: %d\n", results.ItemCount());
  return 0;
}
