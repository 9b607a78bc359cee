// Detect services on the Windows API.
#pragma once

// clang-format off
#include <windows.h>
#include <hidsdi.h>
#include <setupapi.h>
// clang-format on

#include "detect/detect_os.h"
#include "win32/handles.h"
#include "win32/win32_libraries.h"

namespace qsetup::win32 {

// The entry points of setupapi.dll that detection calls.
struct SetupApi {
  UniqueModule library;
  decltype(&::SetupDiGetClassDevsA) SetupDiGetClassDevsA = nullptr;
  decltype(&::SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces = nullptr;
  decltype(&::SetupDiGetDeviceInterfaceDetailW) SetupDiGetDeviceInterfaceDetailW = nullptr;
  decltype(&::SetupDiEnumDeviceInfo) SetupDiEnumDeviceInfo = nullptr;
  decltype(&::SetupDiGetDeviceRegistryPropertyA) SetupDiGetDeviceRegistryPropertyA = nullptr;
  decltype(&::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList = nullptr;

  // Loads the library and every entry point. False when one is missing.
  bool Load(LibrarySearch search);
};

// The entry points of hid.dll that detection calls.
struct HidApi {
  UniqueModule library;
  decltype(&::HidD_GetHidGuid) HidD_GetHidGuid = nullptr;
  decltype(&::HidD_GetAttributes) HidD_GetAttributes = nullptr;

  bool Load(LibrarySearch search);
};

// Each library is loaded on the first operation that needs it, from the
// system directory only, and stays loaded while this object lives. The
// hardware-id scan needs SetupAPI alone, so it runs where hid.dll cannot be
// loaded; the HID presence probe needs both.
class Win32DetectOs final : public DetectOs {
 public:
  explicit Win32DetectOs(LibrarySearch search) : search_(search) {}

  std::unique_ptr<HidInterfaceSet> OpenHidInterfaces() override;
  std::unique_ptr<HidDevice> OpenDevice(const std::string& path, DeviceAccess access) override;
  std::unique_ptr<DeviceSet> OpenPresentDevices() override;
  std::unique_ptr<MemoryBlock> AllocateZeroed(std::uint32_t size) override;

 private:
  // Null when the library cannot be loaded; tried once.
  const SetupApi* Setup();
  const HidApi* Hid();

  LibrarySearch search_;
  bool setup_tried_ = false;
  bool setup_loaded_ = false;
  SetupApi setup_;
  bool hid_tried_ = false;
  bool hid_loaded_ = false;
  HidApi hid_;
};

}  // namespace qsetup::win32
