// A whole machine of fakes: every subsystem's, wired into the platforms of
// SETUP.EXE and of the status report, so that both run on the same machine.
#pragma once

#include <string>

#include "driver/setup.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_deploy_os.h"
#include "fakes/fake_detect_os.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_replace_os.h"
#include "fakes/fake_status_os.h"
#include "fakes/fake_system_directory.h"
#include "fakes/fault_plan.h"
#include "status/status.h"

namespace qsetup::testing {

struct FakeMachine {
  FakeConsoleIo console;
  FakeCatalogOs catalog;
  FakeDriverOs driver;
  FakeSourceDirectoryOs source_dir;
  FakeSystemDirectory system;
  FakeDetectOs detect;
  FakeDeployOs deploy;
  FakeReplaceOs replace;
  FakeEventLog event_log;
  FakeStatusOs status{deploy, replace};
  Platform setup{console, catalog, driver,  source_dir, system,
                 detect,  deploy,  replace, replace,    event_log};
  StatusPlatform report{status, source_dir, system, detect, replace};

  FakeMachine() = default;
  FakeMachine(const FakeMachine&) = delete;
  FakeMachine& operator=(const FakeMachine&) = delete;

  // Every fake fails as `plan` says.
  void FailAsPlanned(FaultPlan& plan) {
    for (FaultPlan** faults : {&console.faults, &catalog.files.faults, &driver.faults,
                               &source_dir.faults, &system.faults, &detect.faults, &deploy.faults,
                               &replace.faults, &event_log.faults, &status.faults}) {
      *faults = &plan;
    }
  }

  // The current directory of both the program and its file system.
  void ChangeDirectory(const std::string& dir) {
    source_dir.current_dir = dir;
    deploy.current_directory = dir;
  }

  // The adapter as a working USB HID device.
  void AttachHidAdapter() {
    detect.hid_interfaces.push_back({"\\\\?\\hid#vid_7a5c&pid_4001", {0x7A5C, 0x4001}});
  }
  // The adapter without a working USB driver: only its hardware id shows.
  void AttachUnconfiguredAdapter() {
    detect.devices.push_back({MultiSz({"USB\\Vid_7a5c&Pid_4001&Rev_0100"}), 0});
  }
};

}  // namespace qsetup::testing
