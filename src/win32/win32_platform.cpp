#include "win32/win32_platform.h"

#include <windows.h>

#include "win32/handles.h"
#include "win32/win32_files.h"

namespace qsetup::win32 {

std::uint16_t Win32CatalogOs::SystemDefaultLangId() {
  return ::GetSystemDefaultLangID();
}

ReadableFilePtr Win32CatalogOs::OpenForReading(const std::string& path) {
  return OpenReadableFile(path);
}

SystemDirectory Win32SystemDirectoryOs::ReadSystemDirectory() {
  char buffer[520];
  SystemDirectory result;
  result.length = ::GetSystemDirectoryA(buffer, sizeof buffer);
  if (result.length > 0 && result.length < sizeof buffer) result.path.assign(buffer, result.length);
  return result;
}

std::string Win32DriverOs::ReadCurrentDirectory() {
  char buffer[MAX_PATH];
  const DWORD length = ::GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

bool Win32DriverOs::IsDbcsLeadByte(unsigned char byte) {
  return ::IsDBCSLeadByte(byte) != FALSE;
}

namespace {

class Win32RunLock final : public RunLock {
 public:
  explicit Win32RunLock(UniqueHeldMutex mutex) : mutex_(std::move(mutex)) {}

 private:
  UniqueHeldMutex mutex_;
};

}  // namespace

std::unique_ptr<RunLock> Win32DriverOs::LockOutOtherRuns() {
  // One name for every session of the machine.
  UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, L"Global\\Quillon2-Setup-Run"));
  if (!mutex) return nullptr;
  switch (::WaitForSingleObject(mutex.get(), INFINITE)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // a run that ended without letting go: this one holds it now
      return std::make_unique<Win32RunLock>(UniqueHeldMutex(mutex.release()));
    default:
      return nullptr;
  }
}

}  // namespace qsetup::win32
