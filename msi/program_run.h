// Runs a program from a custom action under a time bound, with its output
// in the MSI log.
#pragma once

#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <msi.h>

#include <cstdint>
#include <string>

#include "msi/setup_outcome.h"

namespace qsetup::msi {

// Runs `application` with `command_line` in `directory`, without a console
// (a key wait of the program returns at once: nobody could press a key),
// with empty standard input, and logs its standard output and error line by
// line behind "`name`: ". Returns when the program has ended, or once it has
// run for `minutes`, when it is ended with every program that it started
// and that still runs. Whatever it leaves running when it ends is ended too.
// Where it cannot run in a job of its own (which is how the programs that it
// starts are ended with it), the log says so and it runs alone.
ProgramRun RunLogged(MSIHANDLE install, const std::wstring& application,
                     const std::wstring& command_line, const std::wstring& directory,
                     const std::wstring& name, std::uint32_t minutes);

}  // namespace qsetup::msi
