// The Chromium-family browsers: where each keeps its "User Data" folder, which program
// runs it, and its profile folders. The scan reads their databases and caches through
// this table; the running test is made per browser.
#pragma once
#include <string>
#include <vector>

namespace machine {
struct Folders;
}

namespace browsers {

// Which option group cleans a browser.
enum class ChromiumOptions { Chrome, Opera };

struct ChromiumBrowser {
  const wchar_t* name;       // as the running notice names it
  int root;                  // CSIDL_LOCAL_APPDATA or CSIDL_APPDATA
  const wchar_t* userData;   // below the root
  const wchar_t* process;    // its program's file name
  bool singleProfile;        // the folder is the profile itself (Opera)
  ChromiumOptions options;
};

const std::vector<ChromiumBrowser>& ChromiumBrowsers();

// The browser's "User Data" folder on this machine, whether or not it exists; empty when
// the root folder is unknown. Before Windows 2000 both roots are the Windows folder's
// "Application Data".
std::wstring UserDataFolder(const ChromiumBrowser& browser, const machine::Folders& folders,
                            int majorVersion);

// The profile folders below `userData`: those "Local State" lists and the "Default" and
// "Profile N" folders found, each once, in that order. Only plain folders directly below
// it count: a name with a path in it, or a folder that is a link, is no profile.
std::vector<std::wstring> ProfileFolders(const std::wstring& userData);

// The folder names that "Local State" (JSON text, UTF-8) lists as profiles
// ("profile" / "info_cache"), as they stand; nothing when the text is no such document.
std::vector<std::wstring> LocalStateProfiles(const std::string& json);

// Where the browser keeps a profile's disk cache besides the profile itself: for a profile
// below the roaming application data, the same path below the local one (empty when
// there is none).
std::wstring LocalTwin(const std::wstring& profile, const machine::Folders& folders,
                       int majorVersion);

// The notice shown while the browser runs: Chrome's own text for Chrome, the same
// words with their own name for the others.
std::wstring RunningNotice(const ChromiumBrowser& browser);

}  // namespace browsers
