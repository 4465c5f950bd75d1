#include "stand-ins/LogCodec.h"

#include <cstdint>
#include <cstring>

namespace halvane {

namespace {
const char kMark[8] = {'V', 'L', 'M', 'L', 'O', 'G', '0', '1'};
const std::size_t kHeader = sizeof kMark + 8;

std::uint32_t Checksum(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

void Mask(std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    s[i] = char(static_cast<unsigned char>(s[i]) ^ ((std::uint32_t(i) * 167u + 61u) & 0xFFu));
}

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFFu));
}

std::uint32_t GetU32(const std::string& in, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
  return v;
}
}  // namespace

std::string EncodeLog(const std::string& text) {
  std::string out(kMark, sizeof kMark);
  PutU32(out, std::uint32_t(text.size()));
  PutU32(out, Checksum(text));
  std::string body = text;
  Mask(body);
  return out + body;
}

bool DecodeLog(const std::string& stored, std::string& text) {
  if (stored.size() < kHeader || std::memcmp(stored.data(), kMark, sizeof kMark) != 0)
    return false;
  std::uint32_t length = GetU32(stored, sizeof kMark);
  if (stored.size() - kHeader != length) return false;
  std::string body = stored.substr(kHeader);
  Mask(body);
  if (Checksum(body) != GetU32(stored, sizeof kMark + 4)) return false;
  text.swap(body);
  return true;
}

}  // namespace halvane
