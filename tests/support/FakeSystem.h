// System facts for tests: a TTarnOSInfo of a chosen Windows version, made without the
// running system's version query.
#pragma once
#include "sys/TarnGetOSInfo.h"

namespace testsupport {

sys::TTarnOSInfo FakeSystem(int major, int minor, bool wow64 = false);

}  // namespace testsupport
