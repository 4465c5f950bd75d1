#include "clean/RegistryBackup.h"

#include "catalogue/ResultModel.h"
#include "sys/FileUtils.h"
#include "sys/Registry.h"
#include "sys/Text.h"

namespace clean {

namespace {

const wchar_t kHeader[] = L"Windows Registry Editor Version 5.00\r\n";
using catalogue::kDefaultValueMarker;

// The longest path below a root that an import can create: the registry calls take their
// path as a counted string of at most 32,766 characters and cut a longer one short, so
// "reg import" and regedit would write such a key under a wrong, shorter name.
const size_t kLongestImportablePath = 32766;

std::wstring Quoted(const std::wstring& s) {
  std::wstring q = L"\"";
  for (wchar_t c : s) {
    if (c == L'\\' || c == L'"') q += L'\\';
    q += c;
  }
  return q + L"\"";
}

// A name the .reg form can write: it has no escape for a line break, and a NUL ends it.
bool Carried(const std::wstring& name) {
  return name.find_first_of(std::wstring(L"\r\n\0", 3)) == std::wstring::npos;
}

// Text that a quoted string gives back unchanged: one terminating NUL, none inside, no
// line break.
bool IsPlainString(const std::vector<BYTE>& data) {
  if (data.size() < 2 || data.size() % 2) return false;
  const wchar_t* p = reinterpret_cast<const wchar_t*>(data.data());
  size_t n = data.size() / 2;
  if (p[n - 1] != L'\0') return false;
  for (size_t i = 0; i + 1 < n; ++i)
    if (p[i] == L'\0' || p[i] == L'\r' || p[i] == L'\n') return false;
  return true;
}

std::wstring HexBytes(const std::vector<BYTE>& data) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring s;
  s.reserve(data.size() * 3);
  for (size_t i = 0; i < data.size(); ++i) {
    if (i) s += L',';
    s += kDigits[data[i] >> 4];
    s += kDigits[data[i] & 15];
  }
  return s;
}

std::wstring ValueLine(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
  std::wstring line = name.empty() ? L"@" : Quoted(name);
  line += L'=';
  if (type == REG_SZ && IsPlainString(data)) {
    line += Quoted(std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2 - 1));
  } else if (type == REG_DWORD && data.size() == 4) {
    DWORD v;
    memcpy(&v, data.data(), 4);
    line += sys::Format(L"dword:%08lx", static_cast<unsigned long>(v));
  } else if (type == REG_BINARY) {
    line += L"hex:" + HexBytes(data);
  } else {
    line += sys::Format(L"hex(%lx):", static_cast<unsigned long>(type)) + HexBytes(data);
  }
  return line + L"\r\n";
}

bool Gone(LONG rc) { return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND; }

std::wstring ErrorText(LONG rc) {
  return rc == ERROR_ACCESS_DENIED ? std::wstring(L"拒绝访问") : sys::Format(L"错误 %ld", rc);
}

// The part of a place after its root's name.
size_t BelowRoot(const std::wstring& place) {
  size_t slash = place.find(L'\\');
  return slash == std::wstring::npos ? 0 : place.size() - slash - 1;
}

}  // namespace

HKEY RegistryRoot(const std::wstring& name) {
  HKEY root = sys::RootFromName(name);
  return root ? root : HKEY_CURRENT_CONFIG;
}

std::wstring RegValueText(HKEY key, const std::wstring& valueName) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (sys::ReadRegValue(key, valueName, type, data) != ERROR_SUCCESS) return {};
  return ValueLine(valueName, type, data);
}

LONG RegistryItem::Open(HKEY root, const std::wstring& path, const std::wstring& valueName,
                        sys::RegView view) {
  root_ = root;
  path_ = path;
  defaultValue_ = valueName == kDefaultValueMarker;
  value_ = defaultValue_ ? L"" : valueName;
  if (valueName.empty()) return tree_.Open(root, path, view, KEY_READ | DELETE);
  // No call can name a value by a name that holds a NUL: another value would be deleted.
  if (value_.find(L'\0') != std::wstring::npos) return ERROR_INVALID_NAME;
  HKEY key = nullptr;
  LONG rc = sys::OpenKeyInView(root, path, KEY_QUERY_VALUE | KEY_SET_VALUE, view, &key);
  if (rc != ERROR_SUCCESS) return rc;
  key_.reset(key);
  return sys::ReadRegValue(key, value_, type_, data_);
}

BackupProblem RegistryItem::Text(std::wstring& text) {
  text.clear();
  const HKEY top = key_ ? key_.get() : tree_.Keys().at(0).handle;
  const std::wstring place = sys::RegKeyPlace(root_, path_, top);
  if (place.empty()) return BackupProblem::PlaceUnknown;
  if (!Carried(place) || !Carried(value_)) return BackupProblem::NameNotCarried;
  if (key_) {
    text = L"\r\n[" + place + L"]\r\n" + ValueLine(value_, type_, data_);
    return BackupProblem::None;
  }
  const std::vector<sys::RegTree::Key>& keys = tree_.Keys();
  // Characters of each key's path below its root, built from its parent's.
  std::vector<size_t> length(keys.size());
  length[0] = BelowRoot(place);
  for (size_t i = 0; i < keys.size(); ++i) {
    const sys::RegTree::Key& k = keys[i];
    if (!Carried(k.name)) return BackupProblem::NameNotCarried;
    if (i) length[i] = length[k.parent] + 1 + k.name.size();
    if (length[i] > kLongestImportablePath) return BackupProblem::PathTooLong;
    const std::wstring below = tree_.PathOf(i);
    text += L"\r\n[" + place + (below.empty() ? L"" : L"\\" + below) + L"]\r\n";
    bool carried = true;
    LONG rc = sys::ForEachValue(
        k.handle, [&](const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
          carried = carried && Carried(name);
          text += ValueLine(name, type, data);
        });
    if (!carried) return BackupProblem::NameNotCarried;
    if (rc != ERROR_SUCCESS) return BackupProblem::Unreadable;
  }
  return BackupProblem::None;
}

LONG RegistryItem::Delete() {
  if (!key_) return tree_.Unchanged() ? tree_.DeleteAll() : ERROR_INVALID_DATA;
  DWORD type = 0;
  std::vector<BYTE> data;
  LONG rc = sys::ReadRegValue(key_.get(), value_, type, data);
  if (rc != ERROR_SUCCESS || type != type_ || data != data_) return ERROR_INVALID_DATA;
  if (!defaultValue_) return RegDeleteValueW(key_.get(), value_.c_str());
  // The default value is cleared, not removed: Windows shows it as "(value not set)".
  return RegSetValueExW(key_.get(), L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""),
                        sizeof(wchar_t));
}

std::wstring BackupFolderFor(const std::wstring& settingsFile) {
  std::wstring base = settingsFile;
  if (base.empty()) base = sys::ModuleFileName();
  size_t slash = base.find_last_of(L'\\');
  return (slash == std::wstring::npos ? std::wstring(L".") : base.substr(0, slash)) + L"\\Backup";
}

bool RegistryBackup::Append(const std::wstring& text) {
  if (!handle_) {
    CreateDirectoryW(folder_.c_str(), nullptr);
    SYSTEMTIME t;
    GetLocalTime(&t);
    const std::wstring stem =
        folder_ + sys::Format(L"\\%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                              t.wMinute, t.wSecond);
    // Two cleans within one second each get a file of their own.
    for (int n = 1; n < 100 && !handle_; ++n) {
      std::wstring name = stem + (n == 1 ? L"" : sys::Format(L"-%d", n)) + L".reg";
      HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        handle_.reset(h);
        file_ = name;
        size_ = 0;
      } else if (GetLastError() != ERROR_FILE_EXISTS) {
        return false;
      }
    }
    if (!handle_) return false;
  }
  // The file's first entry brings the file's header.
  const std::wstring out = size_ ? text : L"\xFEFF" + std::wstring(kHeader) + text;
  const DWORD bytes = DWORD(out.size() * sizeof(wchar_t));
  DWORD written = 0;
  if (Truncate(size_) && WriteFile(handle_.get(), out.data(), bytes, &written, nullptr) &&
      written == bytes) {
    size_ += bytes;
    return true;
  }
  // Half an entry would spoil the file for every importer: it is cut off again.
  Truncate(size_);
  return false;
}

bool RegistryBackup::Flush() {
  if (!handle_ || size_ == flushed_) return true;
  if (FlushFileBuffers(handle_.get())) {
    flushed_ = size_;
    return true;
  }
  size_ = flushed_;
  Truncate(size_);
  return false;
}

bool RegistryBackup::Truncate(LONGLONG size) {
  LARGE_INTEGER at;
  at.QuadPart = size;
  return SetFilePointerEx(handle_.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(handle_.get());
}

std::wstring RegistryBatch::Add(const std::wstring& rootName, const std::wstring& keyPath,
                                const std::wstring& valueName, sys::RegView view,
                                bool& waiting) {
  waiting = false;
  // Never a whole root.
  if (rootName.empty() || keyPath.empty()) return {};
  std::unique_ptr<RegistryItem> item(new RegistryItem);
  LONG rc = item->Open(RegistryRoot(rootName), keyPath, valueName, view);
  if (rc == ERROR_FILE_NOT_FOUND) return {};
  if (rc == ERROR_INVALID_NAME) return L"无法备份：名称含换行符或空字符";
  if (rc == ERROR_INVALID_DATA) return L"正被其他程序改动，未删除";
  if (rc != ERROR_SUCCESS)
    return item->FailedPath().empty() ? ErrorText(rc) : L"有子键无法读取或删除，未做任何改动";
  if (backup_) {
    std::wstring text;
    switch (item->Text(text)) {
      case BackupProblem::None: break;
      case BackupProblem::Unreadable: return L"无法完整备份：有值或子键无法读取";
      case BackupProblem::NameNotCarried: return L"无法备份：名称含换行符或空字符";
      case BackupProblem::PathTooLong: return L"无法备份：键路径过长，导入无法还原";
      case BackupProblem::PlaceUnknown: return L"无法备份：无法确定键的实际位置";
    }
    if (!backup_->Append(text)) return L"未能写入注册表备份";
  }
  waiting_.push_back(Waiting{rootName, keyPath, std::move(item)});
  waiting = true;
  return {};
}

bool RegistryBatch::Touches(const std::wstring& rootName, const std::wstring& keyPath) const {
  const std::wstring path = sys::LowerCase(keyPath);
  for (const Waiting& w : waiting_) {
    if (sys::LowerCase(w.root) != sys::LowerCase(rootName)) continue;
    const std::wstring other = sys::LowerCase(w.path);
    const std::wstring& shorter = other.size() < path.size() ? other : path;
    const std::wstring& longer = other.size() < path.size() ? path : other;
    if (longer.compare(0, shorter.size(), shorter) == 0 &&
        (longer.size() == shorter.size() || longer[shorter.size()] == L'\\'))
      return true;
  }
  return false;
}

std::vector<std::wstring> RegistryBatch::Finish() {
  std::vector<std::wstring> why;
  const bool kept = !backup_ || backup_->Flush();
  for (Waiting& w : waiting_) {
    if (!kept) {
      why.push_back(L"未能写入注册表备份");
      continue;
    }
    LONG rc = w.item->Delete();
    why.push_back(rc == ERROR_INVALID_DATA       ? std::wstring(L"备份后已被改动，未删除")
                  : Gone(rc) ? std::wstring() : ErrorText(rc));
  }
  waiting_.clear();
  return why;
}

}  // namespace clean
