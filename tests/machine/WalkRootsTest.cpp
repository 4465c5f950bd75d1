// The rule for a folder whose every file a walk deletes, and the mark a folder named by
// another program's settings must carry.
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "machine/Folders.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"

using machine::EmptyRefusal;
using namespace testsupport;

namespace {

class WalkRootsTest : public ::testing::Test {
 protected:
  WalkRootsTest() {
    folders.windows = sandbox.dir(L"Windows");
    folders.system = sandbox.dir(L"Windows\\system32");
    folders.nativeProgramFiles = sandbox.dir(L"PF64");
    folders.downloads = sandbox.dir(L"Users\\Ann\\Downloads");
    const struct {
      int csidl;
      const wchar_t* rel;
    } known[] = {
        {CSIDL_PROFILE, L"Users\\Ann"},
        {CSIDL_APPDATA, L"Users\\Ann\\AppData\\Roaming"},
        {CSIDL_LOCAL_APPDATA, L"Users\\Ann\\AppData\\Local"},
        {CSIDL_COMMON_APPDATA, L"ProgramData"},
        {CSIDL_PROGRAM_FILES, L"Program Files"},
        {CSIDL_PROGRAM_FILESX86, L"Program Files (x86)"},
        {CSIDL_PERSONAL, L"Users\\Ann\\Documents"},
        {CSIDL_DESKTOPDIRECTORY, L"Users\\Ann\\Desktop"},
        {CSIDL_MYPICTURES, L"Photos"},  // moved to another place, as users do
        {CSIDL_FAVORITES, L"Users\\Ann\\Favorites"},
        {CSIDL_COMMON_DOCUMENTS, L"Users\\Public\\Documents"},
    };
    for (const auto& k : known) folders.special[k.csidl] = sandbox.dir(k.rel);
  }
  EmptyRefusal Why(const std::wstring& folder) const {
    return machine::WhyNotEmptied(folder, folders);
  }

  SandboxFolder sandbox;
  machine::Folders folders;
};

}  // namespace

TEST_F(WalkRootsTest, RefusesRootsLinksTheUsersFilesAndWhatHoldsTheSystem) {
  const std::wstring s = sandbox.path();
  sandbox.file(L"Windows\\Temp\\x.tmp");
  sandbox.file(L"a file");
  const struct {
    std::wstring folder;
    EmptyRefusal why;
  } cases[] = {
      // Inside the system's and the programs' folders: where caches live.
      {sandbox.dir(L"Users\\Ann\\AppData\\Local\\Temp"), EmptyRefusal::None},
      {s + L"\\Windows\\Temp\\", EmptyRefusal::None},
      {sandbox.dir(L"Program Files\\Opera\\cache4"), EmptyRefusal::None},
      {sandbox.dir(L"Elsewhere"), EmptyRefusal::None},
      // Being or holding one of them.
      {s + L"\\Users\\Ann\\AppData\\Local", EmptyRefusal::SystemFolder},
      {s + L"\\USERS\\ANN\\", EmptyRefusal::UserFiles},  // the profile holds them
      {s + L"\\Users\\Ann\\AppData", EmptyRefusal::SystemFolder},
      {s + L"\\Windows\\system32", EmptyRefusal::SystemFolder},
      {s + L"\\Program Files (x86)", EmptyRefusal::SystemFolder},
      {s + L"\\PF64", EmptyRefusal::SystemFolder},
      {s + L"\\ProgramData", EmptyRefusal::SystemFolder},
      // The user's own files: being, holding or lying inside.
      {s + L"\\Users\\Ann\\Documents", EmptyRefusal::UserFiles},
      {sandbox.dir(L"Users\\Ann\\Documents\\Opera Cache"), EmptyRefusal::UserFiles},
      {sandbox.dir(L"Photos\\2023"), EmptyRefusal::UserFiles},
      {s + L"\\Users\\Ann\\Downloads\\.", EmptyRefusal::UserFiles},
      {s + L"\\Users\\Ann\\Desktop\\..\\Favorites", EmptyRefusal::UserFiles},
      {s + L"\\Users\\Public", EmptyRefusal::UserFiles},
      {s, EmptyRefusal::UserFiles},
      // Not a folder to walk at all.
      {L"C:\\", EmptyRefusal::DriveRoot},
      {L"c:", EmptyRefusal::NotFullPath},
      {L"\\\\server\\share\\", EmptyRefusal::DriveRoot},
      {L"\\\\server", EmptyRefusal::DriveRoot},
      {L"cache4", EmptyRefusal::NotFullPath},
      {L"", EmptyRefusal::NotFullPath},
      {s + L"\\Nowhere", EmptyRefusal::NoFolder},
      {s + L"\\a file", EmptyRefusal::NoFolder},
  };
  for (const auto& c : cases)
    EXPECT_EQ(int(c.why), int(Why(c.folder))) << sys::ToUtf8(c.folder);

  // A short (8.3) name of a folder in the documents is the same folder.
  const std::wstring inside = sandbox.dir(L"Users\\Ann\\Documents\\Long Folder Name");
  wchar_t shortName[MAX_PATH] = {};
  if (GetShortPathNameW(inside.c_str(), shortName, MAX_PATH) && inside != shortName) {
    EXPECT_EQ(int(EmptyRefusal::UserFiles), int(Why(shortName))) << sys::ToUtf8(shortName);
  }
}

TEST_F(WalkRootsTest, LinksAreRefusedAndFollowedToWhereTheyLead) {
  const std::wstring elsewhere = sandbox.dir(L"Elsewhere\\cache");
  sandbox.dir(L"Users\\Ann\\Documents\\cache");
  ASSERT_TRUE(MakeFolderLink(sandbox / L"Linked", elsewhere));
  ASSERT_TRUE(MakeFolderLink(sandbox / L"ToDocuments", sandbox / L"Users\\Ann\\Documents"));
  EXPECT_EQ(int(EmptyRefusal::Link), int(Why(sandbox / L"Linked")));
  // Where the system tells where a path leads (Vista and later, Wine), a folder is judged
  // there as well; before, a link on the way is refused.
  const bool followed = GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                       "GetFinalPathNameByHandleW") != nullptr;
  EXPECT_EQ(int(followed ? EmptyRefusal::UserFiles : EmptyRefusal::Link),
            int(Why(sandbox / L"ToDocuments\\cache")));
  // A known folder that is a link itself covers where it leads.
  const std::wstring pictures = sandbox.dir(L"Data\\Pictures\\Holiday");
  ASSERT_TRUE(MakeFolderLink(sandbox / L"MyPictures", sandbox / L"Data\\Pictures"));
  folders.special[CSIDL_MYPICTURES] = sandbox / L"MyPictures";
  EXPECT_EQ(int(followed ? EmptyRefusal::UserFiles : EmptyRefusal::None), int(Why(pictures)));
}

TEST_F(WalkRootsTest, AFolderNamedByAnotherProgramNeedsItsMarkOutsideItsOwnFolders) {
  const std::wstring profile = sandbox.dir(L"Users\\Ann\\AppData\\Roaming\\Opera\\profile");
  const machine::ProgramMark mark{{profile, L"C:\\"}, {L"dcache4.url", L"sub\\mark.ini"}};
  sandbox.file(L"Elsewhere\\Marked\\dcache4.url");
  sandbox.file(L"Elsewhere\\Deep\\sub\\mark.ini");
  sandbox.file(L"Users\\Ann\\Documents\\Cache\\dcache4.url");
  const struct {
    std::wstring folder;
    bool walked;
  } cases[] = {
      {sandbox.dir(L"Users\\Ann\\AppData\\Roaming\\Opera\\profile\\cache4"), true},
      {profile, true},
      {sandbox / L"Elsewhere\\Marked", true},
      {sandbox / L"Elsewhere\\Deep", true},
      {sandbox.dir(L"Elsewhere\\Unmarked"), false},
      // The mark does not make the user's documents Opera's, nor does an own folder that
      // is a drive root make the whole drive its own.
      {sandbox / L"Users\\Ann\\Documents\\Cache", false},
      {sandbox.dir(L"Users\\Ann\\AppData\\Local\\Opera"), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.walked, machine::SafeNamedFolder(c.folder, folders, mark)) << sys::ToUtf8(c.folder);
}
