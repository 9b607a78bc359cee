// Exit codes of SETUP.EXE. Scripts and fleet tools act on these values:
// never change or reuse them.
#pragma once

namespace qsetup {

enum ExitCode : int {
  kExitInstalled = 0,         // HID route: installed (also: invalid force code)
  kExitRestartNeeded = 1,     // HID route: installed, restart the machine
  kExitFailed = 2,            // a copy failed, or the system directory is unusable
  kExitNoAdapter = 8,         // scan route: no adapter, nothing changed
  kExitAdapterNoDriver = 16,  // scan route: adapter without working driver, installed anyway
};

}  // namespace qsetup
