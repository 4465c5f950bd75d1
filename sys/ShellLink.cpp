#include "sys/ShellLink.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

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

}  // namespace

HRESULT GetShortcutTarget(const std::wstring& lnk, std::wstring& target) {
  target.clear();
  ComRef<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.OutVoid());
  if (FAILED(hr)) return hr;
  ComRef<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.OutVoid());
  if (FAILED(hr)) return hr;
  hr = file->Load(lnk.c_str(), STGM_READ);
  if (FAILED(hr)) return hr;
  wchar_t path[MAX_PATH] = {};
  WIN32_FIND_DATAW fd{};
  // A failure here means no file path (S_FALSE or an error): the marker below covers it.
  link->GetPath(path, MAX_PATH, &fd, SLGP_UNCPRIORITY);
  path[MAX_PATH - 1] = L'\0';
  target = path;
  if (target.size() < 4) target = L"tarn";
  return S_OK;
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
