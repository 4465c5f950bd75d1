// The two texts in which every amount is shown to the user.
#pragma once
#include <cstdint>
#include <string>

namespace sys {

// Bytes: above 1,048,576 in " MB", above 1,024 in " KB" (both "%4.2f"), else " Byte".
std::wstring FormatByteSize(std::int64_t bytes);
// Kilobytes: above 1,048,576 in " GB", above 1,024 in " MB", else " KB"; always "%4.2f".
std::wstring FormatKilobyteSize(double kilobytes);

}  // namespace sys
