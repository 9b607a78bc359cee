#include "win32/win32_platform.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <sddl.h>

#include "win32/handles.h"
#include "win32/win32_files.h"
#include "win32/win32_run_lock.h"

namespace qsetup::win32 {

std::uint16_t Win32CatalogOs::SystemDefaultLangId() {
  return ::GetSystemDefaultLangID();
}

namespace {

// Only the system and administrators may use the lock, and Administrators
// own it, so that a run can tell it from an object of the same name that
// someone else made.
constexpr wchar_t kRunLockSecurity[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";
// The same for a token that may not make Administrators the owner: its
// default owner, the system's for the system.
constexpr wchar_t kRunLockSecurityOwnDefault[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

struct CreatedMutex {
  UniqueHandle mutex;
  DWORD error = ERROR_SUCCESS;  // ERROR_ALREADY_EXISTS when it was there before
};

CreatedMutex CreateRunLockMutex(const wchar_t* security) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(security, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return {UniqueHandle(), ::GetLastError()};
  }
  const UniqueLocal descriptor_owner(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  UniqueHandle mutex(::CreateMutexW(&attributes, FALSE, kRunLockName));
  const DWORD error = ::GetLastError();
  return {std::move(mutex), error};
}

class Win32RunLock final : public RunLock {
 public:
  explicit Win32RunLock(UniqueHandle mutex) : mutex_(std::move(mutex)) {}

  LockWait Hold(std::uint32_t milliseconds) override {
    if (held_) return LockWait::kHeld;
    switch (::WaitForSingleObject(mutex_.get(), milliseconds)) {
      case WAIT_OBJECT_0:
      case WAIT_ABANDONED:  // a run that ended without letting go: this one holds it now
        held_ = UniqueHeldMutex(mutex_.release());
        return LockWait::kHeld;
      case WAIT_TIMEOUT:
        return LockWait::kTimedOut;
      default:
        return LockWait::kFailed;
    }
  }

 private:
  UniqueHandle mutex_;    // until held
  UniqueHeldMutex held_;  // once held
};

// The lock where an object of the mutex's name is no run's: a file that only
// administrators can make, open without sharing, so that no other run can
// open it until this one closes it, which deletes it.
class Win32FileRunLock final : public RunLock {
 public:
  explicit Win32FileRunLock(std::u16string path) : path_(std::move(path)) {}

  LockWait Hold(std::uint32_t milliseconds) override {
    constexpr DWORD kPollMs = 500;
    for (DWORD waited = 0;; waited += kPollMs) {
      if (file_) return LockWait::kHeld;
      file_.reset(::CreateFileW(AsWide(path_), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
      if (file_) continue;
      // Another run holds it, or has just closed it and its deletion is
      // pending.
      const DWORD error = ::GetLastError();
      if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) {
        return LockWait::kFailed;
      }
      if (waited >= milliseconds) return LockWait::kTimedOut;
      ::Sleep(kPollMs);
    }
  }

 private:
  std::u16string path_;
  UniqueFile file_;
};

constexpr char kRunLockFile[] = "setup-run.lock";

}  // namespace

std::unique_ptr<RunLock> Win32DriverOs::OpenRunLock(const std::string& staging_folder,
                                                    bool& name_taken) {
  CreatedMutex created = CreateRunLockMutex(kRunLockSecurity);
  if (!created.mutex && created.error == ERROR_INVALID_OWNER) {
    created = CreateRunLockMutex(kRunLockSecurityOwnDefault);
  }
  if (!created.mutex) return nullptr;
  // Any program can make an object of this name before a run does; one that
  // the system or administrators did not make is not a run's lock, and a
  // wait for it could last for ever.
  if (created.error == ERROR_ALREADY_EXISTS) {
    bool owned = false;
    ReadRunLockOwner(created.mutex.get(), owned);
    if (!owned) {
      name_taken = true;
      std::u16string folder;
      std::u16string path;
      if (FilePath(staging_folder, folder) != kErrorSuccess ||
          FilePath(staging_folder + kRunLockFile, path) != kErrorSuccess) {
        return nullptr;
      }
      ::CreateDirectoryW(AsWide(folder), nullptr);  // there already after a first run
      return std::make_unique<Win32FileRunLock>(std::move(path));
    }
  }
  return std::make_unique<Win32RunLock>(std::move(created.mutex));
}

UtcTime Win32DriverOs::Now() {
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace qsetup::win32
