// What the registry scanners share: the stop test, the status line, findings, and reads
// that tell an absent value from one of another type.
#pragma once
#include <windows.h>

#include <string>

#include "catalogue/ScanContext.h"
#include "registry_scan/Judge.h"
#include "sys/Registry.h"

namespace registry_scan {
namespace detail {

extern const wchar_t kMachine[];  // "HKEY_LOCAL_MACHINE"
extern const wchar_t kUser[];     // "HKEY_CURRENT_USER"

bool Stopped(const catalogue::ScanContext& ctx);
void Pump(catalogue::ScanContext& ctx);
// "分析: " + what in status panel 0, then the pump.
void Status(catalogue::ScanContext& ctx, const std::wstring& what);
void Report(catalogue::ScanContext& ctx, const wchar_t* root, const std::wstring& key, int image,
            const std::wstring& description, const std::wstring& data = L"",
            const std::wstring& valueName = L"");

// The judgements' view of a scan, with the look-ups it keeps.
JudgeContext Judging(const catalogue::ScanContext& ctx, const JudgeCache* cache = nullptr);
// A verdict that the entry is dead.
Verdict Dead(const wchar_t* root, const std::wstring& key, const std::wstring& data = L"",
             const std::wstring& valueName = L"");
// Adds the findings of a dead verdict (the entry, then what goes along with it); false,
// adding nothing, when it is not dead.
bool ReportIfDead(catalogue::ScanContext& ctx, const Verdict& verdict, int image,
                  const std::wstring& description);

// A class, ProgID or "CLSID\{...}" exists as Windows finds one: in the machine's or the
// current user's classes, in either registry view.
bool ClassExists(const JudgeContext& ctx, const std::wstring& name);
// The class names a "CurVer" that exists: Windows uses that one for it.
bool HandsOverToCurrentVersion(const JudgeContext& ctx, const std::wstring& cls);

// A value as text: an absent value reads as empty (ERROR_SUCCESS); a value that is not
// text is an error and leaves `text` as it was, so a caller can start from a marker.
LONG ReadText(const sys::RegKey& key, const std::wstring& name, std::wstring& text);
// The same, an error giving empty text.
std::wstring ReadTextOrEmpty(const sys::RegKey& key, const std::wstring& name);
// Default value of a key below the root as text; empty when the key does not open.
std::wstring DefaultText(HKEY root, const std::wstring& path);
// Sub-key and value counts of a key; false (and 0, 0) when it does not open.
bool CountsOf(HKEY root, const std::wstring& path, DWORD& subKeys, DWORD& values);

// What a command line, icon reference or path runs (sys::CommandTargets) is proven
// missing (sys::ProvenMissing) wherever Windows would look for it: a path with its
// variables expanded (on 64-bit Windows also with the native Program Files folders); a
// bare name in App Paths, on the search path and in the system and Windows folders.
// Nothing to judge is not missing.
bool ProgramMissing(const JudgeContext& ctx, const std::wstring& commandOrPath);
// A file or folder path read from the registry, variables expanded, is proven missing.
bool PathMissing(const std::wstring& path);
// Environment variables of this process expanded; the text as it was when that fails.
std::wstring ExpandVariables(const std::wstring& text);

}  // namespace detail
}  // namespace registry_scan
