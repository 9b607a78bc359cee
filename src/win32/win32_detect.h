// Detect services on the Windows API.
#pragma once

// clang-format off
#include <windows.h>
#include <hidsdi.h>
#include <setupapi.h>
// clang-format on

#include "detect/detect_os.h"
#include "win32/handles.h"

namespace qsetup::win32 {

// The entry points of hid.dll and setupapi.dll that detection calls. The
// libraries are loaded from the system directory only, never from the
// program's own directory, and stay loaded while this object lives.
struct DetectApi {
  UniqueModule hid;
  UniqueModule setupapi;

  decltype(&::HidD_GetHidGuid) HidD_GetHidGuid = nullptr;
  decltype(&::HidD_GetAttributes) HidD_GetAttributes = nullptr;
  decltype(&::SetupDiGetClassDevsA) SetupDiGetClassDevsA = nullptr;
  decltype(&::SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces = nullptr;
  decltype(&::SetupDiGetDeviceInterfaceDetailA) SetupDiGetDeviceInterfaceDetailA = nullptr;
  decltype(&::SetupDiEnumDeviceInfo) SetupDiEnumDeviceInfo = nullptr;
  decltype(&::SetupDiGetDeviceRegistryPropertyA) SetupDiGetDeviceRegistryPropertyA = nullptr;
  decltype(&::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList = nullptr;

  // Loads both libraries and every entry point. False when one is missing.
  bool Load();
};

class Win32DetectOs final : public DetectOs {
 public:
  std::unique_ptr<HidInterfaceSet> OpenHidInterfaces() override;
  std::unique_ptr<HidDevice> OpenDevice(const std::string& path) override;
  std::unique_ptr<DeviceSet> OpenPresentDevices() override;
  std::unique_ptr<MemoryBlock> AllocateZeroed(std::uint32_t size) override;

 private:
  // The libraries, loaded on first use; null when they cannot be loaded.
  const DetectApi* Api();

  bool load_tried_ = false;
  bool loaded_ = false;
  DetectApi api_;
};

}  // namespace qsetup::win32
