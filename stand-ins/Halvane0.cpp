// The stand-in of the notes-feed library: reads "Log.dat" in its stored form, checks and
// decodes it, and hands the text to the object's LoadFromStream. No exception leaves it.
#include <windows.h>
#include <objbase.h>

#include <string>

#include "stand-ins/Halvane0.h"
#include "stand-ins/LogCodec.h"

namespace {

bool ReadSmallFile(const char* name, std::string& bytes) {
  HANDLE f = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(f, &size) && size.QuadPart >= 0 &&
            std::size_t(size.QuadPart) <= halvane::kMaxLogFileBytes;
  if (ok) {
    bytes.resize(std::size_t(size.QuadPart));
    DWORD got = 0;
    ok = bytes.empty() || (ReadFile(f, &bytes[0], DWORD(bytes.size()), &got, nullptr) &&
                           got == bytes.size());
  }
  CloseHandle(f);
  return ok;
}

}  // namespace

extern "C" HALVANE0_API bool __cdecl GetMemIniFile(const char* fileName,
                                                     app::TStreamIniFile*& ini) {
  try {
    std::string stored, text;
    if (!fileName || !ini || !ReadSmallFile(fileName, stored)) return false;
    if (!halvane::DecodeLog(stored, text)) return false;
    stored.clear();
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return false;
    ULONG wrote = 0;
    bool ok = text.empty() ||
              (SUCCEEDED(stream->Write(text.data(), ULONG(text.size()), &wrote)) &&
               wrote == text.size());
    ok = ok && ini->LoadFromStream(stream);
    stream->Release();
    return ok;
  } catch (...) {
    return false;  // no exception may leave the library: the caller gets "not loaded"
  }
}
