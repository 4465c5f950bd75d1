// COM for one call or one thread: initialised (apartment) on entry, and uninitialised on
// exit only when this scope's initialisation succeeded (S_OK or S_FALSE), never after
// RPC_E_CHANGED_MODE.
#pragma once
#include <objbase.h>

namespace sys {

class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

}  // namespace sys
