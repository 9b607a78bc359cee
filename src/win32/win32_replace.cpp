#include "win32/win32_replace.h"

#include <windows.h>

#include <vector>

#include "win32/handles.h"
#include "win32/win32_libraries.h"

namespace qsetup::win32 {
namespace {

class Win32ToolProcess final : public ToolProcess {
 public:
  Win32ToolProcess(HANDLE process, HANDLE thread) : process_(process), thread_(thread) {}

  std::optional<std::uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
  }

  ToolWait Wait(std::uint32_t milliseconds) override {
    switch (::WaitForSingleObject(process_.get(), milliseconds)) {
      case WAIT_OBJECT_0:
        return ToolWait::kEnded;
      case WAIT_TIMEOUT:
        return ToolWait::kTimedOut;
      default:
        // A wait that cannot be made still has to hold the poll apart from
        // the next one.
        ::Sleep(milliseconds);
        return ToolWait::kTimedOut;
    }
  }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
};

}  // namespace

ToolProcessPtr Win32ReplaceOs::StartTool(const std::string& application,
                                         const std::string& command_line,
                                         const std::string& directory) {
  STARTUPINFOA startup;
  ::GetStartupInfoA(&startup);
  startup.lpReserved = nullptr;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.cbReserved2 = 0;
  startup.lpReserved2 = nullptr;

  // CreateProcessA may write into the command line.
  std::vector<char> command(command_line.begin(), command_line.end());
  command.push_back('\0');
  PROCESS_INFORMATION info;
  if (!::CreateProcessA(application.c_str(), command.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, directory.c_str(), &startup, &info)) {
    return nullptr;
  }
  return std::make_unique<Win32ToolProcess>(info.hProcess, info.hThread);
}

}  // namespace qsetup::win32
