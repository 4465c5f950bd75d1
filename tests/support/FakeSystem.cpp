#include "tests/support/FakeSystem.h"

#include "machine/Seams.h"

namespace testsupport {

machine::TTarnOSInfo FakeSystem(int major, int minor, bool wow64) {
  machine::ScopedSeams seams;
  machine::Seams().readVersionFacts = [=] {
    machine::VersionFacts f;
    f.queryOk = f.extendedOk = true;
    f.major = major;
    f.minor = minor;
    f.productType = 1;
    return f;
  };
  machine::TTarnOSInfo os;
  os.IsWow64 = wow64;
  return os;
}

}  // namespace testsupport
