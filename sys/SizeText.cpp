#include "sys/SizeText.h"

#include "sys/Text.h"

namespace sys {

// The point is the decimal separator whatever the locale: swprintf of the C runtime
// uses the "C" locale unless the program changes it, which it never does.
static std::wstring Fixed(double v, const wchar_t* unit) {
  return Format(L"%*.*f", 4, 2, v) + unit;
}

std::wstring FormatByteSize(std::int64_t n) {
  if (n > 1048576) return Fixed(double(n) / 1024 / 1024, L" MB");
  if (n > 1024) return Fixed(double(n) / 1024, L" KB");
  return Format(L"%lld", static_cast<long long>(n)) + L" Byte";
}

std::wstring FormatKilobyteSize(double k) {
  if (k > 1048576) return Fixed(k / 1024 / 1024, L" GB");
  if (k > 1024) return Fixed(k / 1024, L" MB");
  return Fixed(k, L" KB");
}

}  // namespace sys
