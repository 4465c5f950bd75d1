#include "browsers/LevelDbLog.h"

#include <windows.h>

#include <algorithm>

#include "sys/FileSearch.h"
#include "sys/Handles.h"
#include "sys/Text.h"

namespace browsers {

namespace {

// LevelDB's log: 32 KiB blocks of records, each with a 7-byte header (masked CRC-32C of
// type and data, length, type); a record too long for its block is cut into pieces.
const size_t kBlock = 32768;
const size_t kHeader = 7;
enum RecordType { kZero = 0, kFull = 1, kFirst = 2, kMiddle = 3, kLast = 4 };
// A write batch: sequence number, operation count, then per operation its tag and key
// (and value for a put), lengths as varints.
const unsigned char kDeletion = 0, kPut = 1;

std::uint32_t Crc32c(const std::string& bytes) {
  static std::uint32_t table[256];
  static bool made = false;
  if (!made) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? 0x82F63B78u : 0);
      table[i] = c;
    }
    made = true;
  }
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Get32(const std::string& s, size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 16 | std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}

void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}

bool Varint(const std::string& s, size_t& at, std::uint64_t& v) {
  v = 0;
  for (int shift = 0; shift < 64 && at < s.size(); shift += 7) {
    unsigned char c = s[at++];
    v |= std::uint64_t(c & 0x7F) << shift;
    if (!(c & 0x80)) return true;
  }
  return false;
}

bool LengthPrefixed(const std::string& s, size_t& at, std::string* out) {
  std::uint64_t n = 0;
  if (!Varint(s, at, n) || n > s.size() - at) return false;
  if (out) *out = s.substr(at, size_t(n));
  at += size_t(n);
  return true;
}

void PutVarint(std::string& s, std::uint64_t v) {
  while (v >= 0x80) {
    s += char((v & 0x7F) | 0x80);
    v >>= 7;
  }
  s += char(v);
}

bool ReadWhole(const std::wstring& path, std::string& data) {
  sys::ScopedFile h(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!h || !GetFileSizeEx(h.get(), &size) || size.QuadPart > (256 << 20)) return false;
  data.assign(size_t(size.QuadPart), '\0');
  DWORD read = 0;
  return data.empty() ||
         (ReadFile(h.get(), &data[0], DWORD(data.size()), &read, nullptr) && read == data.size());
}

// The logical records of a log-format file (a log or a manifest); false unless every byte
// belongs to a sound record or to a block's zero trailer.
bool Records(const std::string& data, std::vector<std::string>& records) {
  std::string pieces;
  bool open = false;
  size_t at = 0;
  while (at < data.size()) {
    const size_t left = kBlock - at % kBlock;
    if (left < kHeader) {
      const size_t end = std::min(data.size(), at + left);
      if (std::any_of(data.begin() + at, data.begin() + end, [](char c) { return c != 0; }))
        return false;
      at = end;
      continue;
    }
    if (data.size() - at < kHeader) return false;
    const size_t length = std::uint8_t(data[at + 4]) | std::uint8_t(data[at + 5]) << 8;
    const int type = std::uint8_t(data[at + 6]);
    if (length > left - kHeader || length > data.size() - at - kHeader) return false;
    const std::string typed = data.substr(at + 6, 1 + length);
    if (type < kFull || type > kLast || LevelDbMaskedCrc(typed) != Get32(data, at)) return false;
    const std::string payload = typed.substr(1);
    at += kHeader + length;
    if (type == kFull || type == kFirst) {
      if (open) return false;
      pieces = payload;
      open = type == kFirst;
      if (!open) records.push_back(pieces);
    } else {
      if (!open) return false;
      pieces += payload;
      if (type == kLast) {
        open = false;
        records.push_back(pieces);
      }
    }
  }
  return !open;
}

bool BatchOps(const std::string& batch, std::vector<LevelDbOp>& ops) {
  if (batch.size() < 12) return false;
  std::uint64_t sequence = std::uint64_t(Get32(batch, 0)) | std::uint64_t(Get32(batch, 4)) << 32;
  const std::uint32_t count = Get32(batch, 8);
  size_t at = 12;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (at >= batch.size()) return false;
    const unsigned char tag = batch[at++];
    LevelDbOp op{sequence + i, tag == kPut, {}};
    if ((tag != kPut && tag != kDeletion) || !LengthPrefixed(batch, at, &op.key) ||
        (tag == kPut && !LengthPrefixed(batch, at, nullptr)))
      return false;
    ops.push_back(op);
  }
  return at == batch.size();
}

// The last sequence number a manifest records, and the oldest log it still needs.
bool ManifestFacts(const std::string& data, std::uint64_t& lastSequence, std::uint64_t& logNumber) {
  std::vector<std::string> edits;
  if (!Records(data, edits)) return false;
  for (const std::string& e : edits) {
    size_t at = 0;
    while (at < e.size()) {
      std::uint64_t tag = 0, a = 0, b = 0;
      if (!Varint(e, at, tag)) return false;
      bool ok = true;
      switch (tag) {
        case 1: ok = LengthPrefixed(e, at, nullptr); break;  // comparator
        case 2: ok = Varint(e, at, a); logNumber = std::max(logNumber, a); break;
        case 3: case 9: ok = Varint(e, at, a); break;  // next file, previous log
        case 4: ok = Varint(e, at, a); lastSequence = std::max(lastSequence, a); break;
        case 5: ok = Varint(e, at, a) && LengthPrefixed(e, at, nullptr); break;
        case 6: ok = Varint(e, at, a) && Varint(e, at, b); break;
        case 7:
          ok = Varint(e, at, a) && Varint(e, at, b) && Varint(e, at, a) &&
               LengthPrefixed(e, at, nullptr) && LengthPrefixed(e, at, nullptr);
          break;
        default: return false;
      }
      if (!ok) return false;
    }
  }
  return true;
}

// "000123.log" -> 123; 0 for other names.
std::uint64_t LogNumber(const std::wstring& name) {
  if (!sys::EndsWith(sys::LowerCase(name), L".log") || name.size() <= 4) return 0;
  std::uint64_t n = 0;
  for (size_t i = 0; i + 4 < name.size(); ++i) {
    if (name[i] < L'0' || name[i] > L'9') return 0;
    n = n * 10 + (name[i] - L'0');
  }
  return n;
}

// The records a batch becomes when it is written at `offset` bytes into a log.
std::string Framed(const std::string& batch, std::uint64_t offset) {
  std::string out;
  size_t inBlock = size_t(offset % kBlock), done = 0;
  bool first = true;
  do {
    if (kBlock - inBlock < kHeader) {
      out.append(kBlock - inBlock, '\0');
      inBlock = 0;
    }
    const size_t piece = std::min(batch.size() - done, kBlock - inBlock - kHeader);
    const bool last = done + piece == batch.size();
    const char type = char(first && last ? kFull : first ? kFirst : last ? kLast : kMiddle);
    const std::string typed = type + batch.substr(done, piece);
    Put32(out, LevelDbMaskedCrc(typed));
    out += char(piece & 0xFF);
    out += char(piece >> 8);
    out += typed;
    inBlock = (inBlock + kHeader + piece) % kBlock;
    done += piece;
    first = false;
  } while (done < batch.size());
  return out;
}

}  // namespace

std::uint32_t LevelDbMaskedCrc(const std::string& bytes) {
  const std::uint32_t crc = Crc32c(bytes);
  return ((crc >> 15) | (crc << 17)) + 0xA282EAD8u;
}

bool ReadLevelDbLog(const std::wstring& path, std::vector<LevelDbOp>& ops) {
  std::string data;
  std::vector<std::string> batches;
  if (!ReadWhole(path, data) || !Records(data, batches)) return false;
  for (const std::string& b : batches)
    if (!BatchOps(b, ops)) return false;
  return true;
}

bool AppendLevelDbDeletions(const std::wstring& folder, const std::vector<std::string>& keys) {
  // No database there: nothing the browser could restore from.
  if (keys.empty() || !sys::FileExists(folder + L"\\CURRENT")) return true;
  // While the owner has the database open it holds this file; holding it ourselves keeps
  // the owner out until the record is written.
  sys::ScopedFile lock(CreateFileW((folder + L"\\LOCK").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!lock && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  std::string current;
  if (!ReadWhole(folder + L"\\CURRENT", current)) return false;
  while (!current.empty() && (current.back() == '\n' || current.back() == '\r')) current.pop_back();
  if (current.compare(0, 9, "MANIFEST-") != 0 || current.find_first_of("\\/:") != std::string::npos)
    return false;
  std::string manifest;
  std::uint64_t lastSequence = 0, oldestLog = 0;
  if (!ReadWhole(folder + L"\\" + sys::FromUtf8(current), manifest) ||
      !ManifestFacts(manifest, lastSequence, oldestLog))
    return false;
  std::wstring newest;
  std::uint64_t newestNumber = 0;
  for (sys::FileSearch s(folder + L"\\*.log"); s.Found(); s.Next()) {
    const std::uint64_t n = LogNumber(s.Name());
    if (s.IsDirectory() || n == 0 || n < oldestLog) continue;
    std::vector<LevelDbOp> ops;
    if (!ReadLevelDbLog(folder + L"\\" + s.Name(), ops)) return false;
    for (const LevelDbOp& op : ops) lastSequence = std::max(lastSequence, op.sequence);
    if (n >= newestNumber) {
      newestNumber = n;
      newest = s.Name();
    }
  }
  if (newest.empty()) return false;
  std::string batch;
  const std::uint64_t sequence = lastSequence + 1;
  Put32(batch, std::uint32_t(sequence));
  Put32(batch, std::uint32_t(sequence >> 32));
  Put32(batch, std::uint32_t(keys.size()));
  for (const std::string& key : keys) {
    batch += char(kDeletion);
    PutVarint(batch, key.size());
    batch += key;
  }
  sys::ScopedFile log(CreateFileW((folder + L"\\" + newest).c_str(), FILE_APPEND_DATA, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!log || !GetFileSizeEx(log.get(), &size)) return false;
  const std::string bytes = Framed(batch, std::uint64_t(size.QuadPart));
  DWORD written = 0;
  return WriteFile(log.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(log.get());
}

}  // namespace browsers
