// Owners of Windows handles: one type per kind of handle, each knowing its
// own invalid value and how to release it.
#pragma once

#include <windows.h>

// After windows.h, whose types it uses.
#include <msi.h>

#include <utility>

namespace qsetup::win32 {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  Type get() const { return value_; }
  bool valid() const { return Traits::IsValid(value_); }
  explicit operator bool() const { return valid(); }

  Type release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(Type value = Traits::Invalid()) {
    if (Traits::IsValid(value_)) Traits::Free(value_);
    value_ = value;
  }

 private:
  Type value_ = Traits::Invalid();
};

// Files and devices: INVALID_HANDLE_VALUE when absent.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Free(Type h) { ::CloseHandle(h); }
};

// Processes, threads, jobs and other kernel objects: null when absent.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::CloseHandle(h); }
};

// Directory searches of FindFirstFile.
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE; }
  static void Free(Type h) { ::FindClose(h); }
};

// Blocks from LocalAlloc.
struct LocalTraits {
  using Type = HLOCAL;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::LocalFree(h); }
};

// Libraries from LoadLibraryExW.
struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::FreeLibrary(h); }
};

// Device information sets. SetupAPI is loaded at run time, so a set carries
// the release call of the library that made it.
struct DeviceInfoSet {
  void* handle;                         // HDEVINFO
  BOOL(WINAPI* destroy)(void* handle);  // SetupDiDestroyDeviceInfoList
};
struct DeviceInfoSetTraits {
  using Type = DeviceInfoSet;
  static Type Invalid() { return {INVALID_HANDLE_VALUE, nullptr}; }
  static bool IsValid(const Type& s) { return s.handle != INVALID_HANDLE_VALUE && s.destroy; }
  static void Free(const Type& s) { s.destroy(s.handle); }
};

// Registry keys: null when absent.
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::RegCloseKey(h); }
};

// Blocks from HeapAlloc on the process heap.
struct ProcessHeapTraits {
  using Type = void*;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type p) { return p != nullptr; }
  static void Free(Type p) { ::HeapFree(::GetProcessHeap(), 0, p); }
};

// SIDs from AllocateAndInitializeSid.
struct SidTraits {
  using Type = PSID;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type p) { return p != nullptr; }
  static void Free(Type p) { ::FreeSid(p); }
};

// Service control manager and service handles.
struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::CloseServiceHandle(h); }
};

// A mutex that this thread owns: released, then closed.
struct HeldMutexTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) {
    ::ReleaseMutex(h);
    ::CloseHandle(h);
  }
};

// Windows Installer handles (records, databases): 0 when absent.
struct MsiHandleTraits {
  using Type = MSIHANDLE;
  static Type Invalid() { return 0; }
  static bool IsValid(Type h) { return h != 0; }
  static void Free(Type h) { ::MsiCloseHandle(h); }
};

// Event sources from RegisterEventSource: null when absent.
struct EventSourceTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::DeregisterEventSource(h); }
};

using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFind = UniqueResource<FindHandleTraits>;
using UniqueLocal = UniqueResource<LocalTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueDeviceInfoSet = UniqueResource<DeviceInfoSetTraits>;
using UniqueHkey = UniqueResource<RegKeyTraits>;
using UniqueHeapBlock = UniqueResource<ProcessHeapTraits>;
using UniqueSid = UniqueResource<SidTraits>;
using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;
using UniqueHeldMutex = UniqueResource<HeldMutexTraits>;
using UniqueMsiHandle = UniqueResource<MsiHandleTraits>;
using UniqueEventSource = UniqueResource<EventSourceTraits>;

}  // namespace qsetup::win32
