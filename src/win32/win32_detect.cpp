#include "win32/win32_detect.h"

#include <cstddef>
#include <cwchar>

#include "win32/win32_text.h"

namespace qsetup::win32 {
namespace {

UniqueDeviceInfoSet OwnSet(const SetupApi& api, HDEVINFO set) {
  return UniqueDeviceInfoSet({set, api.SetupDiDestroyDeviceInfoList});
}

class Win32HidDevice final : public HidDevice {
 public:
  Win32HidDevice(const HidApi& api, UniqueFile file) : api_(api), file_(std::move(file)) {}

  std::optional<HidAttributes> ReadAttributes() override {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!api_.HidD_GetAttributes(file_.get(), &attributes)) return std::nullopt;
    return HidAttributes{attributes.VendorID, attributes.ProductID};
  }

 private:
  const HidApi& api_;
  UniqueFile file_;
};

class Win32HidInterfaceSet final : public HidInterfaceSet {
 public:
  Win32HidInterfaceSet(const SetupApi& api, const GUID& guid, UniqueDeviceInfoSet set)
      : api_(api), guid_(guid), set_(std::move(set)) {}

  bool EnumInterface(std::uint32_t index) override {
    interface_ = {};
    interface_.cbSize = sizeof interface_;
    return api_.SetupDiEnumDeviceInterfaces(set_.get().handle, nullptr, &guid_, index,
                                            &interface_) != FALSE;
  }

  // The path in UTF-16, as Windows gives it, carried in UTF-8: no letter is
  // lost, and OpenDevice opens it with the wide call, which knows no
  // MAX_PATH for a path that starts with "\\?\" as device paths do.
  std::optional<std::string> DevicePath() override {
    constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    DWORD required = 0;
    api_.SetupDiGetDeviceInterfaceDetailW(set_.get().handle, &interface_, nullptr, 0, &required,
                                          nullptr);
    // The record holds at least its size field and the path's NUL.
    if (required <= kPathOffset) return std::nullopt;
    const UniqueLocal block(::LocalAlloc(LPTR, required));
    if (!block) return std::nullopt;
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(block.get());
    detail->cbSize = sizeof *detail;
    DWORD size = 0;
    if (!api_.SetupDiGetDeviceInterfaceDetailW(set_.get().handle, &interface_, detail, required,
                                               &size, nullptr)) {
      return std::nullopt;
    }
    const wchar_t* wide = detail->DevicePath;
    const std::size_t length = ::wcsnlen(wide, (required - kPathOffset) / sizeof(wchar_t));
    std::string path;
    if (Narrow(std::u16string_view(AsUtf16(wide).data(), length), CP_UTF8, path) != kErrorSuccess) {
      return std::nullopt;
    }
    return path;
  }

 private:
  const SetupApi& api_;
  GUID guid_;
  UniqueDeviceInfoSet set_;
  SP_DEVICE_INTERFACE_DATA interface_{};
};

class Win32DeviceSet final : public DeviceSet {
 public:
  Win32DeviceSet(const SetupApi& api, UniqueDeviceInfoSet set) : api_(api), set_(std::move(set)) {}

  ~Win32DeviceSet() override {
    // The caller sees the last error that the walk left, not the release's.
    const DWORD error = ::GetLastError();
    set_.reset();
    ::SetLastError(error);
  }

  bool EnumDevice(std::uint32_t index) override {
    device_ = {};
    device_.cbSize = sizeof device_;
    return api_.SetupDiEnumDeviceInfo(set_.get().handle, index, &device_) != FALSE;
  }

  bool ReadHardwareIds(char* buffer, std::uint32_t size, std::uint32_t& required_size,
                       WinError& error) override {
    DWORD type = 0;
    DWORD reported = required_size;
    const BOOL read =
        api_.SetupDiGetDeviceRegistryPropertyA(set_.get().handle, &device_, SPDRP_HARDWAREID, &type,
                                               reinterpret_cast<BYTE*>(buffer), size, &reported);
    if (!read) error = ::GetLastError();
    required_size = reported;
    return read != FALSE;
  }

 private:
  const SetupApi& api_;
  UniqueDeviceInfoSet set_;
  SP_DEVINFO_DATA device_{};
};

class LocalBlock final : public MemoryBlock {
 public:
  explicit LocalBlock(UniqueLocal block) : block_(std::move(block)) {}
  char* data() override { return static_cast<char*>(block_.get()); }

 private:
  UniqueLocal block_;
};

}  // namespace

bool SetupApi::Load(LibrarySearch search) {
  library = LoadSystemLibrary(L"setupapi.dll", search);
  const HMODULE m = library.get();
  return m != nullptr && Resolve(m, "SetupDiGetClassDevsA", SetupDiGetClassDevsA) &&
         Resolve(m, "SetupDiEnumDeviceInterfaces", SetupDiEnumDeviceInterfaces) &&
         Resolve(m, "SetupDiGetDeviceInterfaceDetailW", SetupDiGetDeviceInterfaceDetailW) &&
         Resolve(m, "SetupDiEnumDeviceInfo", SetupDiEnumDeviceInfo) &&
         Resolve(m, "SetupDiGetDeviceRegistryPropertyA", SetupDiGetDeviceRegistryPropertyA) &&
         Resolve(m, "SetupDiDestroyDeviceInfoList", SetupDiDestroyDeviceInfoList);
}

bool HidApi::Load(LibrarySearch search) {
  library = LoadSystemLibrary(L"hid.dll", search);
  const HMODULE m = library.get();
  return m != nullptr && Resolve(m, "HidD_GetHidGuid", HidD_GetHidGuid) &&
         Resolve(m, "HidD_GetAttributes", HidD_GetAttributes);
}

const SetupApi* Win32DetectOs::Setup() {
  if (!setup_tried_) {
    setup_tried_ = true;
    setup_loaded_ = setup_.Load(search_);
  }
  return setup_loaded_ ? &setup_ : nullptr;
}

const HidApi* Win32DetectOs::Hid() {
  if (!hid_tried_) {
    hid_tried_ = true;
    hid_loaded_ = hid_.Load(search_);
  }
  return hid_loaded_ ? &hid_ : nullptr;
}

std::unique_ptr<HidInterfaceSet> Win32DetectOs::OpenHidInterfaces() {
  const SetupApi* setup = Setup();
  const HidApi* hid = Hid();
  if (setup == nullptr || hid == nullptr) return nullptr;
  GUID guid{};
  hid->HidD_GetHidGuid(&guid);
  UniqueDeviceInfoSet set = OwnSet(
      *setup,
      setup->SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set) return nullptr;
  return std::make_unique<Win32HidInterfaceSet>(*setup, guid, std::move(set));
}

std::unique_ptr<HidDevice> Win32DetectOs::OpenDevice(const std::string& path, DeviceAccess access) {
  // Without hid.dll an opened device could not tell what it is.
  const HidApi* api = Hid();
  if (api == nullptr) return nullptr;
  const DWORD rights = access == DeviceAccess::kReadWrite ? GENERIC_READ | GENERIC_WRITE : 0;
  std::u16string wide;
  if (Widen(path, CP_UTF8, wide) != kErrorSuccess) return nullptr;
  UniqueFile file(::CreateFileW(AsWide(wide), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Win32HidDevice>(*api, std::move(file));
}

std::unique_ptr<DeviceSet> Win32DetectOs::OpenPresentDevices() {
  const SetupApi* api = Setup();
  if (api == nullptr) return nullptr;
  UniqueDeviceInfoSet set = OwnSet(
      *api, api->SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
  if (!set) return nullptr;
  return std::make_unique<Win32DeviceSet>(*api, std::move(set));
}

std::unique_ptr<MemoryBlock> Win32DetectOs::AllocateZeroed(std::uint32_t size) {
  UniqueLocal block(::LocalAlloc(LPTR, size));
  if (!block) return nullptr;
  return std::make_unique<LocalBlock>(std::move(block));
}

}  // namespace qsetup::win32
