// The event-log reader against a fake log store (Wine only stubs the real calls) and the
// manager over the registered logs of the hermetic registry.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "sys/Registry.h"
#include "sys/SysEvent.h"
#include "tests/support/Sandbox.h"

using namespace sys;
using namespace testsupport;

namespace {

struct FakeRecord {
  DWORD size;  // the record's whole length in bytes
  WORD type;
  std::wstring source;
  DWORD eventId = 0;
};

// Serves whole records, as many as fit, the way ReadEventLogW does; a record that does not
// fit an empty buffer fails with ERROR_INSUFFICIENT_BUFFER and its size.
class FakeEventLogs {
 public:
  std::map<std::wstring, std::vector<FakeRecord>> logs;
  std::map<std::wstring, bool> corrupt;  // the log's data carries a zero record length
  std::vector<std::wstring> cleared;
  std::vector<DWORD> readSizes;
  bool otherFlagsSeen = false;
  int openHandles = 0;
  std::wstring windowsDir;

  void Install() {
    EventLogSeams& api = EventLogApi();
    api.open = [this](LPCWSTR server, LPCWSTR source) -> HANDLE {
      if (server || !logs.count(source)) return nullptr;
      HANDLE h = reinterpret_cast<HANDLE>(nextHandle_++);
      open_[h] = {source, 0};
      ++openHandles;
      return h;
    };
    api.read = [this](HANDLE h, DWORD flags, DWORD offset, void* buffer, DWORD size, DWORD* read,
                      DWORD* needed) -> BOOL {
      readSizes.push_back(size);
      if (flags != (EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ) || offset != 0)
        otherFlagsSeen = true;
      *read = *needed = 0;
      Open& o = open_.at(h);
      const std::vector<FakeRecord>& records = logs[o.name];
      BYTE* out = static_cast<BYTE*>(buffer);
      while (o.next < records.size()) {
        std::string bytes = Bytes(records[o.next], corrupt[o.name]);
        if (*read + bytes.size() > size) break;
        std::memcpy(out + *read, bytes.data(), bytes.size());
        *read += DWORD(bytes.size());
        ++o.next;
      }
      if (*read > 0) return TRUE;
      if (o.next == records.size()) {
        SetLastError(ERROR_HANDLE_EOF);
      } else {
        *needed = records[o.next].size;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
      }
      return FALSE;
    };
    api.numberOfRecords = [this](HANDLE h, DWORD* count) -> BOOL {
      *count = DWORD(logs[open_.at(h).name].size());
      return TRUE;
    };
    api.clear = [this](HANDLE h, LPCWSTR backup) -> BOOL {
      if (backup) return FALSE;
      cleared.push_back(open_.at(h).name);
      logs[open_.at(h).name].clear();
      return TRUE;
    };
    api.close = [this](HANDLE h) -> BOOL {
      open_.erase(h);
      --openHandles;
      return TRUE;
    };
    api.windowsDirectory = [this] { return windowsDir; };
  }

  // A record with the fixed part, the source name, a computer name and padding.
  static std::string Bytes(const FakeRecord& r, bool corrupt) {
    std::string bytes(r.size, '\0');
    EVENTLOGRECORD head{};
    head.Length = corrupt ? 0 : r.size;
    head.Reserved = 0x654c664c;
    head.EventID = r.eventId;
    head.EventType = r.type;
    std::memcpy(&bytes[0], &head, sizeof head);
    std::wstring names = r.source + L'\0' + L"PC" + L'\0';
    std::memcpy(&bytes[sizeof head], names.data(), names.size() * sizeof(wchar_t));
    return bytes;
  }

 private:
  struct Open {
    std::wstring name;
    size_t next;
  };
  std::map<HANDLE, Open> open_;
  UINT_PTR nextHandle_ = 0x100;
};

std::vector<FakeRecord> SmallRecords(int n) {
  std::vector<FakeRecord> r;
  for (int i = 0; i < n; ++i) r.push_back({200, EVENTLOG_INFORMATION_TYPE, L"Src"});
  return r;
}

class SysEventTest : public SandboxTest {
 protected:
  void SetUp() override {
    fake.windowsDir = sandbox.dir(L"Windows");
    fake.Install();
  }
  ScopedEventLogApi savedApi;
  FakeEventLogs fake;
};

const std::wstring kLogs = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\";

}  // namespace

TEST_F(SysEventTest, ReaderReadsEveryRecordWhateverItsSize) {
  struct Case {
    const char* what;
    std::vector<FakeRecord> records;
  } cases[] = {
      {"empty log", {}},
      {"one record filling the buffer", {{4096, EVENTLOG_ERROR_TYPE, L"Disk"}}},
      {"many reads", SmallRecords(50)},
      {"a record larger than the buffer between small ones",
       {{300, EVENTLOG_WARNING_TYPE, L"A"},
        {9000, EVENTLOG_ERROR_TYPE, L"Big"},
        {300, EVENTLOG_INFORMATION_TYPE, L"C"},
        {5000, EVENTLOG_AUDIT_SUCCESS, L"D"}}},
      {"the large record first", {{20000, EVENTLOG_ERROR_TYPE, L"First"}}},
  };
  for (const Case& c : cases) {
    fake.logs[L"Application"] = c.records;
    fake.readSizes.clear();
    TEventLogOper log(L"Application");
    ASSERT_NE(nullptr, log.Handle()) << c.what;
    std::optional<std::vector<TEventEntry>> entries = log.ReadEntries();
    ASSERT_TRUE(entries) << c.what;
    ASSERT_EQ(c.records.size(), entries->size()) << c.what;
    for (size_t i = 0; i < c.records.size(); ++i)
      EXPECT_EQ(c.records[i].source, (*entries)[i].SourceName) << c.what << " " << i;
    ASSERT_FALSE(fake.readSizes.empty());
    EXPECT_EQ(4096u, fake.readSizes[0]) << c.what;
    EXPECT_FALSE(fake.otherFlagsSeen);
  }
  EXPECT_EQ(0, fake.openHandles);  // every log closed when its object went away
}

TEST_F(SysEventTest, EntriesCarryIdentifierTypeTextAndSourceName) {
  fake.logs[L"System"] = {{120, EVENTLOG_ERROR_TYPE, L"Disk", 7},
                          {120, EVENTLOG_WARNING_TYPE, L"Tcpip", 4226},
                          {120, EVENTLOG_INFORMATION_TYPE, L"服务", 1},
                          {120, EVENTLOG_AUDIT_FAILURE, L"Security", 2},
                          {120, EVENTLOG_SUCCESS, L"", 3}};
  TEventLogOper log(L"System");
  std::optional<std::vector<TEventEntry>> entries = log.ReadEntries();
  ASSERT_TRUE(entries);
  struct Expect {
    DWORD id;
    const wchar_t* type;
    const wchar_t* source;
  } expected[] = {{7, L"错误", L"Disk"},
                  {4226, L"警告", L"Tcpip"},
                  {1, L"信息", L"服务"},
                  {2, L"信息", L"Security"},
                  {3, L"信息", L""}};
  ASSERT_EQ(5u, entries->size());
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(expected[i].id, (*entries)[i].EventId);
    EXPECT_EQ(expected[i].type, (*entries)[i].TypeText);
    EXPECT_EQ(expected[i].source, (*entries)[i].SourceName);
  }
}

TEST_F(SysEventTest, UnopenedOrMalformedLogsGiveNoListAndClearOnlyOpenLogs) {
  TEventLogOper missing(L"NoSuchLog");
  EXPECT_EQ(nullptr, missing.Handle());
  EXPECT_FALSE(missing.ReadEntries());
  missing.Clear();
  EXPECT_TRUE(fake.cleared.empty());

  // A zero record length must not keep the reader walking the same bytes.
  fake.logs[L"Broken"] = SmallRecords(3);
  fake.corrupt[L"Broken"] = true;
  EXPECT_FALSE(TEventLogOper(L"Broken").ReadEntries());

  fake.logs[L"Application"] = SmallRecords(4);
  {
    TEventLogOper log(L"Application");
    EXPECT_EQ(L"Application", log.LogName());
    EXPECT_EQ(fake.windowsDir, log.WindowsDir());
    log.Clear();
  }
  EXPECT_EQ(std::vector<std::wstring>{L"Application"}, fake.cleared);
  EXPECT_EQ(0u, TEventLogOper(L"Application").ReadEntries()->size());
  EXPECT_EQ(0, fake.openHandles);
}

TEST_F(SysEventTest, DisplayNames) {
  struct Case {
    const wchar_t* name;
    const wchar_t* display;
  } cases[] = {{L"Application", L"应用程序"}, {L"APPLICATION", L"应用程序"},
               {L"system", L"系统"},          {L"Security", L"安全"},
               {L"sEcUrItY", L"安全"},        {L"Internet Explorer", L"Internet Explorer"},
               {L"Systems", L"Systems"}};
  for (const Case& c : cases) EXPECT_EQ(c.display, EventLogDisplayName(c.name)) << c.name;
}

TEST_F(SysEventTest, ManagerKeepsLogsWithRecordsWithTheirSizes) {
  sandbox.file(L"Windows\\System32\\config\\AppEvent.Evt", std::string(65536, 'a'));
  sandbox.file(L"Windows\\System32\\config\\SysEvent.Evt", std::string(1234, 's'));
  sandbox.file(L"Windows\\System32\\config\\SecEvent.Evt", std::string(77, 'e'));
  struct Log {
    const wchar_t* name;
    int records;
    const wchar_t* file;  // null: no "File" value
  } logs[] = {
      {L"Application", 3, L"%SystemRoot%\\System32\\config\\AppEvent.Evt"},
      {L"Custom", 1, nullptr},
      {L"Empty", 0, L"%SystemRoot%\\System32\\config\\AppEvent.Evt"},
      {L"Gone", 2, L"%SystemRoot%\\System32\\config\\Missing.Evt"},
      {L"Security", 5, L"%sYsTeMrOoT%\\System32\\config\\SecEvent.Evt"},
      {L"System", 1, L"%SYSTEMROOT%\\system32\\CONFIG\\SysEvent.Evt"},
      {L"Unopenable", -1, nullptr},
  };
  for (const Log& l : logs) {
    CreateRegKey(HKEY_LOCAL_MACHINE, kLogs + l.name);
    if (l.file) SetRegString(HKEY_LOCAL_MACHINE, kLogs + l.name, L"File", l.file, REG_EXPAND_SZ);
    if (l.records >= 0) fake.logs[l.name] = SmallRecords(l.records);
  }

  std::vector<std::wstring> registryOrder = GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kLogs);
  std::vector<std::wstring> withRecords;
  for (const std::wstring& n : registryOrder)
    if (n != L"Empty" && n != L"Unopenable") withRecords.push_back(n);

  TEventLogManager manager;
  EXPECT_EQ(withRecords, manager.LogNames);
  ASSERT_EQ(withRecords.size(), manager.LogData.size());
  for (size_t i = 0; i < withRecords.size(); ++i)
    EXPECT_EQ(withRecords[withRecords.size() - 1 - i], manager.LogData[i].Name);

  struct Expect {
    const wchar_t* name;
    const wchar_t* display;
    int records;
    std::int64_t size;
  } expected[] = {
      {L"Application", L"应用程序", 3, 65536},
      {L"Custom", L"Custom", 1, 0},
      {L"Gone", L"Gone", 2, 0},
      {L"Security", L"安全", 5, 77},
      {L"System", L"系统", 1, 1234},
      {L"Empty", L"", 0, 0},
      {L"Unopenable", L"", 0, 0},
      {L"application", L"", 0, 0},
  };
  for (const Expect& e : expected) {
    EXPECT_EQ(e.display, manager.DisplayNameOf(e.name)) << e.name;
    EXPECT_EQ(e.records, manager.RecordCountOf(e.name)) << e.name;
    EXPECT_EQ(e.size, manager.FileSizeOf(e.name)) << e.name;
  }
  EXPECT_EQ(0, fake.openHandles);
}

TEST_F(SysEventTest, ListLogNamesWithoutTheEventlogKey) {
  std::vector<std::wstring> list{L"kept"};
  EXPECT_EQ(0, TEventLogManager::ListLogNames(list));
  EXPECT_EQ(std::vector<std::wstring>{L"kept"}, list);
  TEventLogManager manager;
  EXPECT_TRUE(manager.LogNames.empty());
  EXPECT_TRUE(manager.LogData.empty());

  CreateRegKey(HKEY_LOCAL_MACHINE, kLogs + L"Application");
  CreateRegKey(HKEY_LOCAL_MACHINE, kLogs + L"System");
  EXPECT_EQ(2, TEventLogManager::ListLogNames(list));
  EXPECT_EQ(3u, list.size());
  EXPECT_EQ(L"kept", list[0]);
}
