// The stored form of the notes feed "Log.dat": an 8-byte mark "VLMLOG01", the text's
// length and FNV-1a checksum (32-bit little-endian each), then the text with every byte
// XOR-ed by (index * 167 + 61) mod 256. scripts/encode-log.sh writes the same form.
#pragma once
#include <cstddef>
#include <string>

namespace halvane {

// Larger files are refused unread: the feed is a few entries.
constexpr std::size_t kMaxLogFileBytes = 1u << 20;

std::string EncodeLog(const std::string& text);
// False for a wrong mark, a length that does not match the file, or a wrong checksum.
bool DecodeLog(const std::string& stored, std::string& text);

}  // namespace halvane
