#include "sys/SysEvent.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "sys/FileSearch.h"
#include "sys/Registry.h"
#include "sys/Text.h"

namespace sys {

const wchar_t kEventLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog";

namespace {

constexpr DWORD kReadSize = 4096;
// ReadEventLog takes no bigger buffer; a larger "needed" answer is not believed.
constexpr DWORD kMaxRecordSize = 0x7FFFF;

std::wstring RealWindowsDirectory() {
  wchar_t buf[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buf, n) : std::wstring();
}

// Replaces every occurrence of `what` (letter case ignored) by `with`.
std::wstring ReplaceNoCase(const std::wstring& text, const std::wstring& what,
                           const std::wstring& with) {
  const std::wstring lower = LowerCase(text);
  const std::wstring needle = LowerCase(what);
  std::wstring out;
  size_t from = 0;
  for (size_t at; (at = lower.find(needle, from)) != std::wstring::npos; from = at + needle.size())
    out += text.substr(from, at - from) + with;
  return out + text.substr(from);
}

// Appends one entry per record in bytes [0, size); false when a record's length does not
// fit the data read.
bool AppendRecords(const BYTE* data, DWORD size, std::vector<TEventEntry>& entries) {
  DWORD offset = 0;
  while (offset < size) {
    const DWORD left = size - offset;
    if (left < sizeof(EVENTLOGRECORD)) return false;
    EVENTLOGRECORD record;
    std::memcpy(&record, data + offset, sizeof record);
    if (record.Length < sizeof(EVENTLOGRECORD) || record.Length > left) return false;
    // The source name follows the fixed part; it ends at its NUL or with the record.
    const BYTE* name = data + offset + sizeof(EVENTLOGRECORD);
    const size_t maxChars = (record.Length - sizeof(EVENTLOGRECORD)) / sizeof(wchar_t);
    std::wstring source;
    for (size_t i = 0; i < maxChars; ++i) {
      wchar_t c;
      std::memcpy(&c, name + i * sizeof(wchar_t), sizeof c);
      if (c == L'\0') break;
      source += c;
    }
    entries.push_back({record.EventID, EventTypeText(record.EventType), source});
    offset += record.Length;
  }
  return true;
}

}  // namespace

EventLogSeams& EventLogApi() {
  static EventLogSeams seams{
      [](LPCWSTR server, LPCWSTR source) { return OpenEventLogW(server, source); },
      [](HANDLE log, DWORD flags, DWORD offset, void* buffer, DWORD size, DWORD* read,
         DWORD* needed) { return ReadEventLogW(log, flags, offset, buffer, size, read, needed); },
      [](HANDLE log, DWORD* count) { return GetNumberOfEventLogRecords(log, count); },
      [](HANDLE log, LPCWSTR backup) { return ClearEventLogW(log, backup); },
      [](HANDLE log) { return CloseEventLog(log); },
      [] { return RealWindowsDirectory(); },
  };
  return seams;
}

std::wstring EventTypeText(WORD type) {
  switch (type) {
    case EVENTLOG_ERROR_TYPE:
      return L"错误";
    case EVENTLOG_WARNING_TYPE:
      return L"警告";
    default:
      return L"信息";
  }
}

std::wstring EventLogDisplayName(const std::wstring& logName) {
  const std::wstring lower = LowerCase(logName);
  if (lower == L"application") return L"应用程序";
  if (lower == L"system") return L"系统";
  if (lower == L"security") return L"安全";
  return logName;
}

TEventLogOper::TEventLogOper(const std::wstring& logName) : logName_(logName) {
  EventLogSeams& api = EventLogApi();
  handle_ = api.open(nullptr, logName_.c_str());
  windowsDir_ = api.windowsDirectory();
}

TEventLogOper::~TEventLogOper() {
  if (handle_) EventLogApi().close(handle_);
}

bool TEventLogOper::Clear() {
  return handle_ && EventLogApi().clear(handle_, nullptr);
}

std::optional<std::vector<TEventEntry>> TEventLogOper::ReadEntries() {
  if (!handle_) return std::nullopt;
  try {
    EventLogSeams& api = EventLogApi();
    std::vector<TEventEntry> entries;
    DWORD expected = 0;
    if (api.numberOfRecords(handle_, &expected)) entries.reserve(std::min<DWORD>(expected, 65536));
    std::vector<BYTE> buffer(kReadSize);
    for (;;) {
      DWORD read = 0, needed = 0;
      if (!api.read(handle_, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.data(),
                    DWORD(buffer.size()), &read, &needed)) {
        // Windows hands out no part of a record: one that does not fit must be read again
        // with room for it, or the rest of the log would go uncounted.
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > buffer.size() &&
            needed <= kMaxRecordSize) {
          buffer.resize(needed);
          continue;
        }
        break;  // the end of the log, or a read error
      }
      if (read == 0) break;
      if (read > buffer.size() || !AppendRecords(buffer.data(), read, entries)) return std::nullopt;
    }
    return entries;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::int64_t TEventLogOper::LogFileSize() const {
  RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, std::wstring(kEventLogKey) + L"\\" + logName_) !=
      ERROR_SUCCESS)
    return 0;
  std::wstring file = key.ReadString(L"File");
  if (file.empty()) return 0;
  file = ReplaceNoCase(file, L"%systemroot%", windowsDir_);
  FileSearch found(file);
  return found.Found() && !found.IsDirectory() ? found.Size() : 0;
}

TEventLogManager::TEventLogManager() {
  ListLogNames(LogNames);
  for (size_t i = LogNames.size(); i-- > 0;) {
    const std::wstring name = LogNames[i];
    TEventLogOper log(name);
    const std::optional<std::vector<TEventEntry>> entries = log.ReadEntries();
    if (entries && !entries->empty()) {
      LogData.push_back({name, EventLogDisplayName(name), int(entries->size()), log.LogFileSize()});
    } else {
      LogNames.erase(LogNames.begin() + std::ptrdiff_t(i));
    }
  }
}

int TEventLogManager::ListLogNames(std::vector<std::wstring>& list) {
  RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, kEventLogKey) != ERROR_SUCCESS) return 0;
  const std::vector<std::wstring> names = key.SubKeyNames();
  list.insert(list.end(), names.begin(), names.end());
  return int(names.size());
}

const TEVENTLOGMANAGERDATA* TEventLogManager::Find(const std::wstring& logName) const {
  for (const TEVENTLOGMANAGERDATA& d : LogData)
    if (d.Name == logName) return &d;
  return nullptr;
}

std::wstring TEventLogManager::DisplayNameOf(const std::wstring& logName) const {
  const TEVENTLOGMANAGERDATA* d = Find(logName);
  return d ? d->DisplayName : std::wstring();
}

std::int64_t TEventLogManager::FileSizeOf(const std::wstring& logName) const {
  const TEVENTLOGMANAGERDATA* d = Find(logName);
  return d ? d->FileSize : 0;
}

int TEventLogManager::RecordCountOf(const std::wstring& logName) const {
  const TEVENTLOGMANAGERDATA* d = Find(logName);
  return d ? d->RecordCount : 0;
}

}  // namespace sys
