// System facts for tests: a TTarnOSInfo of a chosen Windows version, made without the
// running system's version query.
#pragma once
#include "machine/TarnGetOSInfo.h"

namespace testsupport {

machine::TTarnOSInfo FakeSystem(int major, int minor, bool wow64 = false);

}  // namespace testsupport
