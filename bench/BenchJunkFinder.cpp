// How the junk-file finder keeps up with a large temporary folder: 20,000 small files in
// 1,000 folders plus 500 empty folders, walked (a) bare, opening every file exclusively as
// the lock test does, and (b) by the finder in its scan configuration, handing every
// finding to the main thread while the main thread pumps. Prints the ratio b/a (goal
// <= 1.5), the longest gap between two pump calls (goal < 50 ms) and the memory the
// result model takes per finding (goal < 300 bytes, detail rows included).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/ResultModel.h"
#include "junk/FindInvalidFiles.h"
#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "sys/Folders.h"
#include "sys/Thread.h"

namespace {

constexpr int kGroups = 50;
constexpr int kFoldersPerGroup = 20;  // 1,000 folders with files
constexpr int kFilesPerFolder = 20;   // 20,000 files
constexpr int kEmptyPerGroup = 10;    // 500 empty folders

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

std::wstring ExeFolder() {
  std::wstring s = sys::ModuleFileName();
  return s.substr(0, s.find_last_of(L'\\'));
}

// Links are removed, never followed.
void RemoveTree(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return;
  if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") RemoveTree(path + L"\\" + n);
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (a & FILE_ATTRIBUTE_DIRECTORY)
    RemoveDirectoryW(path.c_str());
  else
    DeleteFileW(path.c_str());
}

void WriteSmallFile(const std::wstring& path, int i) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::string bytes(size_t(16 + i % 200), 'x');
  DWORD written = 0;
  WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

void BuildTree(const std::wstring& temp) {
  CreateDirectoryW(temp.c_str(), nullptr);
  int n = 0;
  for (int g = 0; g < kGroups; ++g) {
    std::wstring group = temp + L"\\group" + std::to_wstring(g);
    CreateDirectoryW(group.c_str(), nullptr);
    for (int d = 0; d < kFoldersPerGroup; ++d) {
      std::wstring folder = group + L"\\cache" + std::to_wstring(d);
      CreateDirectoryW(folder.c_str(), nullptr);
      for (int f = 0; f < kFilesPerFolder; ++f, ++n)
        WriteSmallFile(folder + L"\\~tmp" + std::to_wstring(n) + L".tmp", n);
    }
    for (int e = 0; e < kEmptyPerGroup; ++e)
      CreateDirectoryW((group + L"\\empty" + std::to_wstring(e)).c_str(), nullptr);
  }
}

// The baseline: the same search and the same exclusive open per file as the finder's
// lock test, nothing else.
int BareWalk(const std::wstring& folder) {
  int files = 0;
  std::vector<std::wstring> subfolders;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (fd.cFileName[0] != L'.') subfolders.push_back(fd.cFileName);
      continue;
    }
    std::wstring path = folder + L"\\" + fd.cFileName;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    ++files;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  for (const std::wstring& name : subfolders) files += BareWalk(folder + L"\\" + name);
  return files;
}

// The same walk with the finder's own lock test instead of the bare open.
int LockTestWalk(const std::wstring& folder) {
  int files = 0;
  std::vector<std::wstring> subfolders;
  for (sys::FileSearch s(folder + L"\\*.*"); s.Found(); s.Next()) {
    if (s.IsDirectory()) {
      subfolders.push_back(s.Name());
      continue;
    }
    sys::IsFileLocked(folder + L"\\" + s.Name());
    ++files;
  }
  for (const std::wstring& name : subfolders) files += LockTestWalk(folder + L"\\" + name);
  return files;
}

// A worker that only makes hand-overs, to time one round trip.
class HandOvers : public sys::Thread {
 public:
  explicit HandOvers(int count) : count_(count) {}
  ~HandOvers() override {
    Terminate();
    if (!Suspended() && !Finished()) WaitFor();
  }

 protected:
  void Execute() override {
    std::function<void()> nothing = [] {};
    for (int i = 0; i < count_ && !Terminated(); ++i) Synchronize(nothing);
  }

 private:
  int count_;
};

struct PumpStats {
  double seconds = 0, longestGap = 0, longestPump = 0;
};

// Pumps as a message loop does (sleeping until a message or a hand-over arrives) until
// the thread has ended.
PumpStats PumpUntilDone(sys::Thread& thread) {
  PumpStats st;
  HANDLE handles[2] = {thread.Handle(), sys::SyncEvent()};
  double begin = Now(), last = begin;
  thread.Resume();
  for (;;) {
    double start = Now();
    st.longestGap = std::max(st.longestGap, start - last);
    last = start;
    sys::ProcessMessages();
    st.longestPump = std::max(st.longestPump, Now() - start);
    if (thread.Finished()) break;
    MsgWaitForMultipleObjects(2, handles, FALSE, 10, QS_ALLINPUT);
  }
  thread.WaitFor();
  st.seconds = Now() - begin;
  return st;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc = {};
  pmc.cb = sizeof pmc;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                            sizeof pmc))
    return 0;
  return pmc.PrivateUsage;
}

// Bytes in busy blocks of every heap of the process: what the allocations really hold.
SIZE_T HeapBusyBytes() {
  std::vector<HANDLE> heaps(256);
  DWORD n = GetProcessHeaps(DWORD(heaps.size()), heaps.data());
  SIZE_T busy = 0;
  for (DWORD i = 0; i < n && i < heaps.size(); ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY e = {};
    while (HeapWalk(heaps[i], &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += e.cbData + e.cbOverhead;
    HeapUnlock(heaps[i]);
  }
  return busy;
}

}  // namespace

int main(int argc, char** argv) {
  sys::InitMainThread();
  // "bench_junkfinder trips": only the hand-over round trip, to try the thread layer.
  if (argc > 1 && std::string(argv[1]) == "trips") {
    for (int round = 0; round < 3; ++round) {
      HandOvers trips(20000);
      PumpStats st = PumpUntilDone(trips);
      std::printf("20000 bare hand-overs: %.3f s (%.0f us each), longest gap %.1f ms\n",
                  st.seconds, st.seconds / 20000 * 1e6, st.longestGap * 1000);
    }
    return 0;
  }
  CoInitialize(nullptr);
  const std::wstring root = ExeFolder() + L"\\bench-junk-sandbox";
  const std::wstring temp = root + L"\\Temp";
  RemoveTree(root);
  CreateDirectoryW(root.c_str(), nullptr);
  double t0 = Now();
  BuildTree(temp);
  std::printf("tree of %d files in %d folders plus %d empty folders built in %.1f s\n",
              kGroups * kFoldersPerGroup * kFilesPerFolder, kGroups * kFoldersPerGroup,
              kGroups * kEmptyPerGroup, Now() - t0);

  BareWalk(temp);  // warm the caches for both runs
  t0 = Now();
  int bareFiles = BareWalk(temp);
  const double bare = Now() - t0;

  sys::Folders folders;
  folders.windows = root + L"\\Windows";
  folders.system = root + L"\\Windows\\System32";
  folders.temp = temp + L"\\";
  folders.special[0x0028] = root + L"\\Profile";        // CSIDL_PROFILE
  folders.special[0x0026] = root + L"\\Program Files";  // CSIDL_PROGRAM_FILES

  catalogue::ResultModel results;
  const SIZE_T privateBefore = PrivateBytes();
  const SIZE_T heapBefore = HeapBusyBytes();
  int statusCalls = 0;
  PumpStats run;
  {
    junk::TFindInvalidFiles finder(results, folders, 6,
                                   [&statusCalls](const std::wstring&) { ++statusCalls; });
    finder.CleanTempFiles = finder.FindEmptyFolders = finder.SkipLockedFiles = true;
    finder.IncludeReadOnly = finder.IncludeHidden = true;
    run = PumpUntilDone(finder);
  }
  const double found = run.seconds;
  const long long privateGrowth = (long long)PrivateBytes() - (long long)privateBefore;
  const long long heapGrowth = (long long)HeapBusyBytes() - (long long)heapBefore;
  const int items = results.ItemCount();

  // Where the time goes: the finder's file test alone, and bare hand-overs.
  t0 = Now();
  LockTestWalk(temp);
  const double lockWalk = Now() - t0;
  // A walked file's status travels with its finding; folders' findings travel alone.
  int folderFindings = 0;
  for (const ui::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
    if (n->DataAs<catalogue::ResultItem>()->Kind == catalogue::ResultKind::Folder) ++folderFindings;
  const int handOvers = statusCalls + folderFindings;
  HandOvers trips(handOvers);
  const double tripTime = PumpUntilDone(trips).seconds;

  std::printf("bare walk with exclusive opens: %d files in %.3f s\n", bareFiles, bare);
  std::printf("finder (scan configuration):    %d findings in %.3f s (%d status texts)\n",
              items, found, statusCalls);
  std::printf("ratio finder/bare: %.2f (goal <= 1.5)\n", found / bare);
  std::printf("longest gap between two pump calls: %.1f ms (goal < 50); longest pump %.1f ms\n",
              run.longestGap * 1000, run.longestPump * 1000);
  std::printf("where the time goes: walk with the finder's lock test %.3f s; %d bare hand-overs "
              "%.3f s (%.0f us each); the rest (results, status, folder walks) %.3f s\n",
              lockWalk, handOvers, tripTime, tripTime / handOvers * 1e6,
              found - lockWalk - tripTime);
  if (items > 0) {
    std::printf("result model per finding: %.0f bytes of heap blocks (goal < 300); "
                "private bytes %s\n",
                double(heapGrowth) / items,
                privateGrowth ? std::to_string(privateGrowth / items).c_str()
                              : "not reported (Wine gives 0)");
    std::printf("result tree: %zu nodes for %d findings\n", results.Tree().NodeCount(), items);
  }
  results.Clear();
  RemoveTree(root);
  CoUninitialize();
  return 0;
}
