// The system directory, as GetSystemDirectoryA reports it into a 520-byte
// buffer.
#pragma once

#include <string>

#include "base/system_directory.h"
#include "fakes/fault_plan.h"

namespace qsetup::testing {

class FakeSystemDirectory : public SystemDirectoryOs {
 public:
  SystemDirectory ReadSystemDirectory() override {
    if (Fails(faults, "ReadSystemDirectory")) return {};
    return value;
  }

  std::string ReadWow64Directory() override {
    if (Fails(faults, "ReadWow64Directory")) return {};
    return wow64;
  }

  // A path the system reports, of any length: it is set only when it fits.
  void Set(const std::string& path) {
    value.length = static_cast<std::uint32_t>(path.size());
    value.path = path.size() < 520 ? path : std::string();
  }
  // A failing read.
  void Fail() { value = {}; }

  SystemDirectory value{19, "C:\\WINDOWS\\system32"};
  std::string wow64;  // a 32-bit program's on 64-bit Windows: "C:\WINDOWS\SysWOW64"
  FaultPlan* faults = nullptr;
};

}  // namespace qsetup::testing
