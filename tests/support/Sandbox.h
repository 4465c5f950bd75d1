// Test fixtures: a hermetic registry and a fresh sandbox folder per test.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "machine/Folders.h"

namespace testsupport {

// Redirects HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT of this process to
// empty sub-keys of a fresh key under the real HKEY_CURRENT_USER; undone and deleted on
// destruction. Other processes and the real keys are not affected.
class HermeticRegistry {
 public:
  HermeticRegistry();
  ~HermeticRegistry();
  HermeticRegistry(const HermeticRegistry&) = delete;
  HermeticRegistry& operator=(const HermeticRegistry&) = delete;

 private:
  HKEY base_ = nullptr;
  HKEY hklm_ = nullptr, hkcu_ = nullptr, hkcr_ = nullptr;
  std::wstring baseName_;
};

// A fresh folder inside the build folder, removed (without following links) afterwards.
class SandboxFolder {
 public:
  SandboxFolder();
  ~SandboxFolder();
  SandboxFolder(const SandboxFolder&) = delete;
  SandboxFolder& operator=(const SandboxFolder&) = delete;

  // The folder, without trailing backslash.
  const std::wstring& path() const { return path_; }
  // Full path of a relative name.
  std::wstring operator/(const std::wstring& rel) const { return path_ + L"\\" + rel; }
  // Creates the file (and its folders) with the given bytes; returns its full path.
  std::wstring file(const std::wstring& rel, const std::string& bytes = "x") const;
  // Creates the folder (and its parents); returns its full path.
  std::wstring dir(const std::wstring& rel) const;

 private:
  std::wstring path_;
};

// Removes a folder tree; links are removed, never followed.
void RemoveTree(const std::wstring& path);
bool CreateFolders(const std::wstring& path);
bool FileExistsW(const std::wstring& path);

// Registry helpers for building a case's state.
void SetRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                  const std::wstring& value, DWORD type = REG_SZ);
void SetRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
void SetRegBinary(HKEY root, const std::wstring& key, const std::wstring& name,
                  const std::string& bytes);
void CreateRegKey(HKEY root, const std::wstring& key);

// The usual fixture: both sandboxes.
class SandboxTest : public ::testing::Test {
 protected:
  HermeticRegistry registry;
  SandboxFolder sandbox;
};

}  // namespace testsupport

namespace testsupport {
// Sets a variable of this process's environment (an empty value removes it) and puts the
// old value back on destruction.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const wchar_t* name);
  ScopedEnvironment(const wchar_t* name, const std::wstring& value) : ScopedEnvironment(name) {
    Set(value);
  }
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  void Set(const std::wstring& value);

 private:
  const wchar_t* name_;
  bool had_ = false;
  std::wstring old_;
};

// The Windows, system and temporary folders and the profile, inside a sandbox folder.
machine::Folders SandboxSystemFolders(const SandboxFolder& sandbox);

// The URL cache is one per prefix and shared by all test processes; a test that clears
// a whole kind of entry, or counts on its entries surviving, holds this lock meanwhile.
class UrlCacheLock {
 public:
  UrlCacheLock() : mutex_(CreateMutexW(nullptr, FALSE, L"VelmoraTestUrlCache")) {
    if (mutex_) WaitForSingleObject(mutex_, INFINITE);
  }
  ~UrlCacheLock() {
    if (mutex_) {
      ReleaseMutex(mutex_);
      CloseHandle(mutex_);
    }
  }
  UrlCacheLock(const UrlCacheLock&) = delete;
  UrlCacheLock& operator=(const UrlCacheLock&) = delete;

 private:
  HANDLE mutex_;
};

// Makes `link` a symbolic link to the folder `target`: with CreateSymbolicLinkW where it
// works, else (Wine) as a Linux symbolic link, which Wine shows as a reparse point.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
}  // namespace testsupport

namespace testsupport {
// Makes a chain of folders inside the sandbox whose full path is at least `length`
// characters long (made through "\\?\" paths); returns it in that form.
std::wstring MakeDeepFolder(const SandboxFolder& sandbox, size_t length);
// Makes `levels` folders each inside the one before, below `folder` (made through "\\?\"
// paths), as many as the file system takes, and puts `file` into the deepest that has
// room for its name; returns that folder in its "\\?\" form and how many were made.
std::wstring MakeNestedFolders(const std::wstring& folder, int levels, const std::wstring& file,
                               int& made);
// How far the stack reaches below where a walk started, from samples taken as it goes:
// a walk that recursed per folder level would reach further with every level.
class StackReach {
 public:
  StackReach() { Sample(); }
  void Sample() {
    char here;
    const auto at = reinterpret_cast<std::uintptr_t>(&here);
    lowest_ = lowest_ && lowest_ < at ? lowest_ : at;
    highest_ = highest_ > at ? highest_ : at;
  }
  std::size_t Bytes() const { return highest_ - lowest_; }

 private:
  std::uintptr_t lowest_ = 0, highest_ = 0;
};

}  // namespace testsupport
