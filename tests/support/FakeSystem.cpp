#include "tests/support/FakeSystem.h"

#include "sys/Seams.h"

namespace testsupport {

sys::TTarnOSInfo FakeSystem(int major, int minor, bool wow64) {
  sys::ScopedSeams seams;
  sys::Seams().readVersionFacts = [=] {
    sys::VersionFacts f;
    f.queryOk = f.extendedOk = true;
    f.major = major;
    f.minor = minor;
    f.productType = 1;
    return f;
  };
  sys::TTarnOSInfo os;
  os.IsWow64 = wow64;
  return os;
}

}  // namespace testsupport
