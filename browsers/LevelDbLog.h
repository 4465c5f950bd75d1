// The write-ahead log of a LevelDB database folder (the store a Chromium browser restores
// its downloads from): read, and deletions added as LevelDB itself writes them, so that
// the browser applies them when it next opens the database.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace browsers {

struct LevelDbOp {
  std::uint64_t sequence;
  bool put;  // false: a deletion
  std::string key;
};

// The operations of one log file in order. False when the file cannot be read or does not
// read cleanly to its end (a checksum, a length or a record that breaks off).
bool ReadLevelDbLog(const std::wstring& path, std::vector<LevelDbOp>& ops);

// Adds one batch deleting `keys` to the newest log of the database in `folder`, numbered
// after every operation the database holds (its manifest and its logs). True when written,
// or when there is no database there at all. False, and nothing written, while the
// database is open in another program (its "LOCK" file is held) or when its manifest or a
// log does not read cleanly.
bool AppendLevelDbDeletions(const std::wstring& folder, const std::vector<std::string>& keys);

// CRC-32C as LevelDB stores it in its records (rotated and offset).
std::uint32_t LevelDbMaskedCrc(const std::string& bytes);

}  // namespace browsers
