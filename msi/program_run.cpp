#include "msi/program_run.h"

#include <string_view>
#include <utility>

#include "msi/action_log.h"
#include "win32/handles.h"

namespace qsetup::msi {
namespace {

using win32::UniqueFile;
using win32::UniqueHandle;

// Cuts a program's output into lines as it arrives and logs each line that
// holds more than line ends, behind `prefix`. The bytes are in the OEM code
// page, as SETUP.EXE writes its texts for a console, or in the ANSI code
// page, as it writes the paths that Windows gives it.
class LineLogger {
 public:
  LineLogger(MSIHANDLE install, std::wstring prefix)
      : install_(install), prefix_(std::move(prefix)) {}

  void Add(std::string_view bytes) {
    for (const char c : bytes) {
      if (c == '\n') {
        Flush();
      } else {
        pending_ += c;
      }
    }
  }

  // Logs what came after the last line feed.
  void Flush() {
    // Texts end their lines in "\n\r" as well as "\r\n".
    const std::size_t first = pending_.find_first_not_of('\r');
    if (first != std::string::npos) {
      const std::size_t last = pending_.find_last_not_of('\r');
      const std::string_view line = std::string_view(pending_).substr(first, last - first + 1);
      LogLine(install_, prefix_ + WidenReplacing(line, OutputLineIsAnsi(line) ? CP_ACP : CP_OEMCP));
    }
    pending_.clear();
  }

 private:
  MSIHANDLE install_;
  std::wstring prefix_;
  std::string pending_;
};

#ifdef QSETUP_TEST_MSI_MINUTE_MS
// A test build counts minutes of that many milliseconds, so that its bounds
// pass in seconds; the product never defines it.
constexpr DWORD kBoundMinuteMs = QSETUP_TEST_MSI_MINUTE_MS;
#else
constexpr DWORD kBoundMinuteMs = kMinuteMs;
#endif

// How often the action looks for a program's output while it runs.
constexpr DWORD kOutputPollMs = 50;
// How long a program that was told to end may take to go.
constexpr DWORD kEndWaitMs = 10 * 1000;

ProgramRun NotStarted(WinError error) {
  ProgramRun run;
  run.error = error;
  return run;
}

// Logs the output that is waiting in the pipe, without waiting for more:
// at most what was there when it looked, so that a program that never stops
// writing cannot hold the action here either.
void LogWaitingOutput(HANDLE output, LineLogger& lines) {
  DWORD waiting = 0;
  // Fails once nobody holds the write end any more and all was read.
  if (!::PeekNamedPipe(output, nullptr, 0, nullptr, &waiting, nullptr)) return;
  char buffer[4096];
  while (waiting > 0) {
    DWORD read = 0;
    const DWORD wanted = waiting < sizeof buffer ? waiting : sizeof buffer;
    if (!::ReadFile(output, buffer, wanted, &read, nullptr) || read == 0) return;
    lines.Add(std::string_view(buffer, read));
    waiting -= read;
  }
}

// A job whose processes end when its last handle closes: nothing that a
// program started outlives the action's step, even where the action's own
// process ends first. Null, with the Windows error in `error`, when the
// system gives none.
UniqueHandle NewJob(WinError& error) {
  UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  if (!job) {
    error = ::GetLastError();
    return job;
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits)) {
    error = ::GetLastError();
    job.reset();
  }
  return job;
}

struct Program {
  const std::wstring& application;
  const std::wstring& command_line;
  const std::wstring& directory;
  STARTUPINFOW& startup;
};

bool Create(const Program& program, DWORD flags, PROCESS_INFORMATION& info) {
  // CreateProcessW may write into the command line.
  std::wstring command_line = program.command_line;
  return ::CreateProcessW(program.application.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                          DETACHED_PROCESS | flags, nullptr, program.directory.c_str(),
                          &program.startup, &info) != 0;
}

struct Started {
  UniqueHandle process;
  WinError error = kErrorSuccess;  // without a process: why it could not be started
  bool in_job = false;
  WinError job_error = kErrorSuccess;  // a process outside the job: why
};

// Starts the program in `job`, suspended until it is in there, so that it
// runs none of its code outside. The action's own process may be in a job
// already: Windows 8 and later nest the program's job in that one; older
// systems take the program into a job only when it breaks away from the
// action's, if that job allows it. Where neither works, or there is no job,
// the program runs outside, and `job_error` tells why.
Started Start(const Program& program, HANDLE job, WinError job_error) {
  Started started;
  started.job_error = job_error;
  for (const DWORD breakaway : {DWORD{0}, DWORD{CREATE_BREAKAWAY_FROM_JOB}}) {
    if (job == nullptr) break;
    PROCESS_INFORMATION info{};
    if (!Create(program, CREATE_SUSPENDED | breakaway, info)) {
      const DWORD error = ::GetLastError();
      if (breakaway == 0) return {UniqueHandle(), error};
      // The action's job lets no program break away.
      started.job_error = error;
      break;
    }
    UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    if (::AssignProcessToJobObject(job, process.get())) {
      if (::ResumeThread(thread.get()) != static_cast<DWORD>(-1)) {
        return {std::move(process), kErrorSuccess, true};
      }
      const DWORD error = ::GetLastError();
      ::TerminateProcess(process.get(), ERROR_CANCELLED);
      return {UniqueHandle(), error};
    }
    started.job_error = ::GetLastError();
    // Still suspended before its first instruction: it has done nothing.
    ::TerminateProcess(process.get(), ERROR_CANCELLED);
    ::WaitForSingleObject(process.get(), kEndWaitMs);
  }
  PROCESS_INFORMATION info{};
  if (!Create(program, 0, info)) return {UniqueHandle(), ::GetLastError()};
  started.process.reset(info.hProcess);
  const UniqueHandle thread(info.hThread);
  return started;
}

// Waits for `process` within its bound, logging what it writes to `output`
// as it comes; ends it, and the programs of `job` (when there is one), once
// the bound has passed. The wait is for the program, not for the end of its
// output: a program that it started may have inherited the write end and
// hold it for good.
ProgramRun WaitLogging(HANDLE process, HANDLE job, HANDLE output, LineLogger& lines,
                       std::uint32_t minutes) {
  const ULONGLONG deadline = ::GetTickCount64() + ULONGLONG{minutes} * kBoundMinuteMs;
  ProgramRun run;
  for (;;) {
    LogWaitingOutput(output, lines);
    // Anything but a timeout: the program has ended, or its handle cannot be
    // waited for, and waiting again would not change that.
    if (::WaitForSingleObject(process, kOutputPollMs) != WAIT_TIMEOUT) break;
    if (::GetTickCount64() >= deadline) {
      run.end = ProgramRun::End::kRanOut;
      // Both return before the programs have gone, and fail for those that
      // ended by themselves meanwhile: that the program is gone is the proof.
      if (job) ::TerminateJobObject(job, ERROR_TIMEOUT);
      ::TerminateProcess(process, ERROR_TIMEOUT);
      run.ended = ::WaitForSingleObject(process, kEndWaitMs) == WAIT_OBJECT_0;
      break;
    }
  }
  // What it wrote before it ended.
  LogWaitingOutput(output, lines);
  lines.Flush();
  if (run.end == ProgramRun::End::kRanOut) return run;

  DWORD exit_code = 0;
  if (::GetExitCodeProcess(process, &exit_code)) {
    run.end = ProgramRun::End::kExited;
    run.exit_code = exit_code;
  } else {
    run.end = ProgramRun::End::kExitCodeUnknown;
    run.error = ::GetLastError();
  }
  return run;
}

}  // namespace

ProgramRun RunLogged(MSIHANDLE install, const std::wstring& application,
                     const std::wstring& command_line, const std::wstring& directory,
                     const std::wstring& name, std::uint32_t minutes) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  // Room for a burst of trace lines between two looks.
  if (!::CreatePipe(&read_end, &write_end, &inheritable, 64 * 1024)) {
    return NotStarted(::GetLastError());
  }
  const UniqueHandle output(read_end);
  UniqueHandle program_output(write_end);
  if (!::SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0)) {
    return NotStarted(::GetLastError());
  }
  UniqueFile program_input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inheritable, OPEN_EXISTING, 0, nullptr));
  if (!program_input) return NotStarted(::GetLastError());

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = program_input.get();
  startup.hStdOutput = program_output.get();
  startup.hStdError = program_output.get();
  WinError job_error = kErrorSuccess;
  UniqueHandle job = NewJob(job_error);
  const Started started =
      Start({application, command_line, directory, startup}, job.get(), job_error);
  program_output.reset();
  program_input.reset();
  if (!started.process) return NotStarted(started.error);
  if (!started.in_job) {
    job.reset();
    LogLine(install, L"No job of its own for " + name + L" (" +
                         WidenReplacing(WindowsErrorText(started.job_error)) +
                         L"): ending it does not end the programs that it starts.");
  }

  LineLogger lines(install, name + L": ");
  return WaitLogging(started.process.get(), job.get(), output.get(), lines, minutes);
}

}  // namespace qsetup::msi
