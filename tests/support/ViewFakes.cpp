#include "tests/support/ViewFakes.h"

#include "sys/Text.h"

namespace testsupport {

OtherRegistryView::OtherRegistryView() {
  sys::RegViewApi& api = sys::RegViews();
  api.present = true;
  api.other = sys::RegView::Wow32;
  api.open = [](HKEY root, const std::wstring& path, REGSAM access, sys::RegView view,
                HKEY* key) {
    const std::wstring where = view == sys::RegView::Wow32 ? PathOf(root, path) : path;
    return RegOpenKeyExW(root, where.c_str(), 0, access, key);
  };
}

std::wstring OtherRegistryView::PathOf(HKEY root, const std::wstring& path) {
  if (root == HKEY_CLASSES_ROOT) return L"Wow6432Node\\" + path;
  const std::wstring software = L"software";
  if (root != HKEY_LOCAL_MACHINE || sys::LowerCase(path.substr(0, software.size())) != software)
    return path;
  if (path.size() == software.size()) return path + L"\\Wow6432Node";
  if (path[software.size()] != L'\\') return path;
  return path.substr(0, software.size()) + L"\\Wow6432Node" + path.substr(software.size());
}

NativeOnlyFiles::NativeOnlyFiles() {
  sys::FileViewApi& api = sys::FileViews();
  api.disableRedirection = [this](void** old) {
    *old = nullptr;
    off_ = true;
    ++switches_;
    return true;
  };
  api.revertRedirection = [this](void*) { off_ = false; };
  api.attributes = [this](const std::wstring& path) {
    auto it = paths_.find(Key(path));
    if (it == paths_.end()) return GetFileAttributesW(path.c_str());
    if (off_) return it->second;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  };
}

std::wstring NativeOnlyFiles::Key(const std::wstring& path) {
  std::wstring k = sys::LowerCase(path);
  while (!k.empty() && k.back() == L'\\') k.pop_back();
  return k;
}

}  // namespace testsupport
