// The machine's event logs: one open log that can be read and cleared (TEventLogOper), and
// the registered logs that hold records with their display names, counts and file sizes
// (TEventLogManager).
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sys {

// The event-log calls, the real ones by default. Wine only stubs them (open succeeds, read
// fails), so tests put a fake log store here.
struct EventLogSeams {
  std::function<HANDLE(LPCWSTR server, LPCWSTR source)> open;
  // ReadEventLogW: a too small buffer fails with ERROR_INSUFFICIENT_BUFFER and `needed`.
  std::function<BOOL(HANDLE log, DWORD flags, DWORD offset, void* buffer, DWORD size, DWORD* read,
                     DWORD* needed)>
      read;
  std::function<BOOL(HANDLE log, DWORD* count)> numberOfRecords;
  std::function<BOOL(HANDLE log, LPCWSTR backupFile)> clear;
  std::function<BOOL(HANDLE log)> close;
  // GetWindowsDirectoryW; "%systemroot%" in a log's "File" value stands for it.
  std::function<std::wstring()> windowsDirectory;
};

EventLogSeams& EventLogApi();

// Keeps the current event-log calls and puts them back on destruction.
class ScopedEventLogApi {
 public:
  ScopedEventLogApi() : saved_(EventLogApi()) {}
  ~ScopedEventLogApi() { EventLogApi() = saved_; }
  ScopedEventLogApi(const ScopedEventLogApi&) = delete;
  ScopedEventLogApi& operator=(const ScopedEventLogApi&) = delete;

 private:
  EventLogSeams saved_;
};

// One record of a log.
struct TEventEntry {
  DWORD EventId = 0;
  std::wstring TypeText;  // "错误", "警告" or "信息"
  std::wstring SourceName;
};

// "错误" for EVENTLOG_ERROR_TYPE, "警告" for EVENTLOG_WARNING_TYPE, "信息" for the rest.
std::wstring EventTypeText(WORD type);
// "应用程序", "系统" and "安全" for Application, System and Security (any letter case);
// other logs show their own name.
std::wstring EventLogDisplayName(const std::wstring& logName);

// The key below HKEY_LOCAL_MACHINE whose sub-keys are the registered logs.
extern const wchar_t kEventLogKey[];

class TEventLogOper {
 public:
  // Opens the log on the local machine; Handle() is null when that fails.
  explicit TEventLogOper(const std::wstring& logName);
  ~TEventLogOper();
  TEventLogOper(const TEventLogOper&) = delete;
  TEventLogOper& operator=(const TEventLogOper&) = delete;

  HANDLE Handle() const { return handle_; }
  const std::wstring& LogName() const { return logName_; }
  const std::wstring& WindowsDir() const { return windowsDir_; }

  // Empties the log without a backup file; false when the log is not open or Windows
  // refused (no right to clear).
  bool Clear();
  // Every record from the oldest on; a record bigger than the read buffer grows the
  // buffer. Nothing when the log is not open or its data is malformed.
  std::optional<std::vector<TEventEntry>> ReadEntries();
  // Bytes of the file named by the log's "File" value; 0 when the key, the value or the
  // file is missing.
  std::int64_t LogFileSize() const;

 private:
  HANDLE handle_ = nullptr;
  std::wstring logName_;
  std::wstring windowsDir_;
};

struct TEVENTLOGMANAGERDATA {
  std::wstring Name;
  std::wstring DisplayName;
  int RecordCount = 0;
  std::int64_t FileSize = 0;
};

class TEventLogManager {
 public:
  // Reads every registered log once.
  TEventLogManager();

  // The logs that hold records, in registry order.
  std::vector<std::wstring> LogNames;
  // Their records, in reverse registry order.
  std::vector<TEVENTLOGMANAGERDATA> LogData;

  // Exact names, first match; empty / 0 for an unknown name.
  std::wstring DisplayNameOf(const std::wstring& logName) const;
  std::int64_t FileSizeOf(const std::wstring& logName) const;
  int RecordCountOf(const std::wstring& logName) const;

  // Appends the registered log names; 0 without touching the list when the key is missing.
  static int ListLogNames(std::vector<std::wstring>& list);

 private:
  const TEVENTLOGMANAGERDATA* Find(const std::wstring& logName) const;
};

}  // namespace sys
