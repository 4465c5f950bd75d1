#include "app/IniPackage.h"

#include <objbase.h>

#include <algorithm>
#include <utility>

#include "sys/FileSearch.h"
#include "sys/Text.h"

namespace app {

namespace {
const UINT kGbk = 936;

std::wstring Decode(const std::string& bytes) {
  UINT cp = kGbk;
  std::size_t skip = 0;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    cp = CP_UTF8;
    skip = 3;
  }
  int len = int(bytes.size() - skip);
  if (len <= 0) return {};
  int n = MultiByteToWideChar(cp, 0, bytes.data() + skip, len, nullptr, 0);
  std::wstring text(std::size_t(n), L'\0');
  if (n > 0) MultiByteToWideChar(cp, 0, bytes.data() + skip, len, &text[0], n);
  return text;
}

std::string Encode(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(kGbk, 0, text.data(), int(text.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string bytes(std::size_t(n), '\0');
  if (n > 0)
    WideCharToMultiByte(kGbk, 0, text.data(), int(text.size()), &bytes[0], n, nullptr, nullptr);
  return bytes;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}
}  // namespace

TMemIniFile::TMemIniFile(const std::wstring& fileName) : fileName_(fileName) {}

TMemIniFile::~TMemIniFile() = default;

TMemIniFile::Section* TMemIniFile::Find(const std::wstring& section) {
  auto it = sectionIndex_.find(sys::LowerCase(section));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const TMemIniFile::Section* TMemIniFile::Find(const std::wstring& section) const {
  auto it = sectionIndex_.find(sys::LowerCase(section));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

TMemIniFile::Section& TMemIniFile::Add(const std::wstring& section) {
  if (Section* s = Find(section)) return *s;
  sectionIndex_.emplace(sys::LowerCase(section), sections_.size());
  sections_.push_back(Section{section, {}, {}});
  return sections_.back();
}

void TMemIniFile::Reindex(Section& s) {
  s.index.clear();
  for (std::size_t i = 0; i < s.entries.size(); ++i)
    s.index.emplace(sys::LowerCase(s.entries[i].key), i);
}

std::wstring TMemIniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& def) const {
  const Section* s = Find(section);
  if (!s) return def;
  auto it = s->index.find(sys::LowerCase(key));
  return it == s->index.end() ? def : s->entries[it->second].value;
}

void TMemIniFile::WriteString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& value) {
  Section& s = Add(section);
  auto it = s.index.find(sys::LowerCase(key));
  if (it != s.index.end()) {
    s.entries[it->second].value = value;
    s.entries[it->second].hasValue = true;
    return;
  }
  s.index.emplace(sys::LowerCase(key), s.entries.size());
  s.entries.push_back(Entry{key, value, true});
}

std::vector<std::wstring> TMemIniFile::ReadSection(const std::wstring& section) const {
  std::vector<std::wstring> keys;
  if (const Section* s = Find(section))
    for (const Entry& e : s->entries) keys.push_back(e.key);
  return keys;
}

std::vector<std::wstring> TMemIniFile::ReadSections() const {
  std::vector<std::wstring> names;
  for (const Section& s : sections_) names.push_back(s.name);
  return names;
}

bool TMemIniFile::SectionExists(const std::wstring& section) const {
  return Find(section) != nullptr;
}

bool TMemIniFile::ValueExists(const std::wstring& section, const std::wstring& key) const {
  const Section* s = Find(section);
  return s && s->index.count(sys::LowerCase(key)) != 0;
}

void TMemIniFile::EraseSection(const std::wstring& section) {
  auto it = sectionIndex_.find(sys::LowerCase(section));
  if (it == sectionIndex_.end()) return;
  sections_.erase(sections_.begin() + std::ptrdiff_t(it->second));
  sectionIndex_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i)
    sectionIndex_.emplace(sys::LowerCase(sections_[i].name), i);
}

void TMemIniFile::DeleteKey(const std::wstring& section, const std::wstring& key) {
  Section* s = Find(section);
  if (!s) return;
  auto it = s->index.find(sys::LowerCase(key));
  if (it == s->index.end()) return;
  s->entries.erase(s->entries.begin() + std::ptrdiff_t(it->second));
  Reindex(*s);
}

void TMemIniFile::Clear() {
  sections_.clear();
  sectionIndex_.clear();
}

void TMemIniFile::SetStrings(const std::vector<std::wstring>& lines) {
  Clear();
  Section* current = nullptr;
  for (const std::wstring& raw : lines) {
    std::wstring line = sys::Trim(raw);
    if (line.empty() || line[0] == L';') continue;
    if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
      current = &Add(sys::Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    if (!current) continue;
    std::size_t eq = line.find(L'=');
    Entry e = eq == std::wstring::npos
                  ? Entry{line, L"", false}
                  : Entry{sys::Trim(line.substr(0, eq)), sys::Trim(line.substr(eq + 1)), true};
    current->index.emplace(sys::LowerCase(e.key), current->entries.size());
    current->entries.push_back(std::move(e));
  }
}

std::vector<std::wstring> TMemIniFile::GetStrings() const {
  std::vector<std::wstring> lines;
  for (const Section& s : sections_) {
    lines.push_back(L"[" + s.name + L"]");
    for (const Entry& e : s.entries) lines.push_back(e.hasValue ? e.key + L"=" + e.value : e.key);
    lines.push_back(L"");
  }
  return lines;
}

void TMemIniFile::UpdateFile() {}

TStreamIniFile::TStreamIniFile(const std::wstring& fileName) : TMemIniFile(fileName) {}

bool TStreamIniFile::LoadFromStream(IStream* stream) {
  if (!stream) return false;
  try {
    LARGE_INTEGER zero = {};
    if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return false;
    std::string bytes;
    char chunk[65536];
    for (;;) {
      ULONG got = 0;
      HRESULT hr = stream->Read(chunk, sizeof chunk, &got);
      if (FAILED(hr)) return false;
      if (bytes.size() + got > kMaxStreamBytes) return false;
      bytes.append(chunk, got);
      if (got == 0 || hr == S_FALSE) break;
    }
    std::vector<std::wstring> lines = SplitLines(Decode(bytes));
    bytes.clear();
    SetStrings(lines);
    return true;
  } catch (const std::exception&) {
    return false;  // a text too big to hold is read as no file
  }
}

bool TStreamIniFile::SaveToStream(IStream* stream) {
  if (!stream) return false;
  try {
    std::wstring text;
    for (const std::wstring& line : GetStrings()) text += line + L"\r\n";
    std::string bytes = Encode(text);
    std::size_t done = 0;
    while (done < bytes.size()) {
      ULONG wrote = 0;
      ULONG want = ULONG(std::min<std::size_t>(bytes.size() - done, 1u << 20));
      if (FAILED(stream->Write(bytes.data() + done, want, &wrote)) || wrote == 0) return false;
      done += wrote;
    }
    return true;
  } catch (const std::exception&) {
    return false;  // a text too big to hold is read as no file
  }
}

bool TStreamIniFile::SaveToFile(const std::wstring& name) {
  // The text is made in memory first, so a failing save leaves the file as it was.
  IStream* memory = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &memory))) return false;
  bool ok = SaveToStream(memory);
  HGLOBAL block = nullptr;
  STATSTG stat = {};
  ok = ok && SUCCEEDED(GetHGlobalFromStream(memory, &block)) &&
       SUCCEEDED(memory->Stat(&stat, STATFLAG_NONAME)) && stat.cbSize.HighPart == 0;
  if (ok) {
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ok = file != INVALID_HANDLE_VALUE;
    if (ok) {
      const DWORD size = stat.cbSize.LowPart;
      const void* bytes = GlobalLock(block);
      DWORD wrote = 0;
      ok = (size == 0 || bytes) && (size == 0 || WriteFile(file, bytes, size, &wrote, nullptr)) &&
           wrote == size;
      if (bytes) GlobalUnlock(block);
      ok = CloseHandle(file) && ok;
    }
  }
  memory->Release();
  return ok;
}

void TStreamIniFile::UpdateFile() {
  if (!FileName().empty() && sys::FileExists(FileName())) SaveToFile(FileName());
}

}  // namespace app
