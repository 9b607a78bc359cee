// The machine of the device tests: root devices registered for a test's
// lifetime, and the fixture programs.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/wine_runner.h"

namespace qsetup::e2e {

inline std::string Fixture(const std::string& name) {
  return FixtureDir() + "/" + name + ".exe";
}

// A root device with the given hardware ids, present while this object
// lives.
class RegisteredDevice {
 public:
  RegisteredDevice(std::string instance_id, const std::vector<std::string>& ids)
      : instance_id_(std::move(instance_id)) {
    std::vector<std::string> args = {"add", instance_id_};
    args.insert(args.end(), ids.begin(), ids.end());
    const RunResult r = RunWine(Fixture("device_registry"), {.args = args});
    registered_ = r.exit_code == 0;
    EXPECT_TRUE(registered_) << r.out;
  }
  ~RegisteredDevice() {
    if (!registered_) return;
    const RunResult r = RunWine(Fixture("device_registry"), {.args = {"remove", instance_id_}});
    EXPECT_EQ(r.exit_code, 0) << r.out;
  }
  RegisteredDevice(const RegisteredDevice&) = delete;
  RegisteredDevice& operator=(const RegisteredDevice&) = delete;

  bool registered() const { return registered_; }

 private:
  std::string instance_id_;
  bool registered_ = false;
};

// An instance id that no other test and no other architecture uses.
inline std::string InstanceId(const std::string& name) {
  return "ROOT\\QSETUP_" + Arch() + "_" + name + "\\0000";
}

}  // namespace qsetup::e2e
