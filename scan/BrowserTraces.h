// The browser sources: Firefox, the Chromium family (Chrome and its kin) and Opera. The
// Internet Explorer cache is in browsers/IECache.h, which the clean shares.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "browsers/ChromiumBrowsers.h"
#include "catalogue/ScanContext.h"

namespace scan {

using catalogue::ScanContext;

// Asked once per installed Chromium-family browser before its profiles are read: false
// skips that browser alone (it runs). Empty: every browser is read.
using MayScan = std::function<bool(const browsers::ChromiumBrowser&)>;

// The profile databases' tables whose trace is not empty, older flat files and cache
// files. Firefox: the profiles below USERPROFILE's "Application Data" and their caches
// below "Local Settings" ("Cache" and "cache2"), and every other profile "profiles.ini"
// names. Chrome: every profile of every browser of the Chromium family that the Chrome
// options clean (browsers/ChromiumBrowsers), with the files of current versions ("Login
// Data", "Network\Cookies", "Cache\Cache_Data", "Code Cache") beside the older ones.
void ScanFirefox(ScanContext& ctx, bool history, bool downloads, bool formHistory, bool cache,
                 bool cookies);
void ScanChrome(ScanContext& ctx, bool history, bool downloads, bool cache, bool cookies,
                bool logins, const MayScan& mayScan = {});
// Firefox has run for this user: its list of profiles is there.
bool FirefoxProfileListExists(const ScanContext& ctx);

// One option group's scan of Chromium-family profiles: what it takes, and the notes and
// picture of its items.
struct ChromiumScan {
  bool history, downloads, cache, cookies, logins;
  const wchar_t* historyNote;
  const wchar_t* downloadsNote;
  const wchar_t* cacheNote;
  const wchar_t* cookiesNote;
  const wchar_t* loginsNote;
  int image;
};
void ScanChromiumFamily(ScanContext& ctx, browsers::ChromiumOptions options,
                        const ChromiumScan& scan, const MayScan& mayScan);

// The trace files of the Opera profile and the folders its "opera6.ini" names, then the
// profiles of the Chromium-based Opera (history, downloads, cookies and cache as its
// Chrome kin keep them).
void ScanOpera(ScanContext& ctx, bool cache, bool visits, bool downloads, bool cookies,
               const MayScan& mayScan = {});
// With a trailing backslash: "Opera" in the program files folder unless the registry names
// the installation there; empty without a program files folder.
std::wstring OperaInstallationFolder(const machine::Folders& folders);

}  // namespace scan
