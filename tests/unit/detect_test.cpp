#include "detect/detect.h"
#include "detect/console_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_console_io.h"
#include "fakes/fake_detect_os.h"

namespace qsetup {
namespace {

using testing::FakeConsoleIo;
using testing::FakeDetectOs;
using testing::FakeDevice;
using testing::FakeHidInterface;
using testing::MultiSz;

constexpr char kAdapterId[] = "USB\\Vid_7a5c&Pid_4001";
constexpr char kAltAdapterId[] = "USB\\Vid_7a5c&Pid_4003";
constexpr char kKzId[] = "USB\\Vid_7a5c&Pid_4004";
constexpr char kTaskelId[] = "PCI\\VEN_1002&DEV_5159&SUBSYS_029A1F7D";
constexpr char kPause[] = "Press ENTER to continue \r\n";

// The two virtual HID devices that Wine shows, which the probe walks first.
std::vector<FakeHidInterface> OtherHidDevices() {
  return {{"\\\\?\\hid#vid_845e&pid_0001#1", {0x845E, 0x0001}},
          {"\\\\?\\hid#vid_845e&pid_0002#1", {0x845E, 0x0002}}};
}

class DetectTest : public ::testing::Test {
 protected:
  FakeDetectOs os;
  FakeConsoleIo console_io;
  Console console{console_io};
  ConsoleTrace trace{console};
  DetectionFlags flags;

  DetectContext Context(bool verbose = false, bool force_usb = false) {
    return {os, verbose ? &trace : nullptr, force_usb};
  }
  int Probe(bool force_usb = false) { return FindHidDevice(Context(true, force_usb)); }
  int Scan(bool verbose = false, bool force_usb = false) {
    return FindExistingDevice(Context(verbose, force_usb), flags);
  }
  void AddDevice(const std::vector<std::string>& ids) { os.devices.push_back({MultiSz(ids)}); }
  static std::string Found(const std::string& id) {
    return "FindExistingDevice - Device ID " + id + " was found \r\n";
  }
};

TEST_F(DetectTest, ProbeForceCodeUAnswersWithoutLookingAtDevices) {
  os.hid_interfaces = {{"adapter", {0x7A5C, 0x4001}}};
  EXPECT_EQ(Probe(true), 1);
  EXPECT_EQ(os.hid_sets_opened, 0);
  EXPECT_TRUE(os.opened_paths.empty());
}

TEST_F(DetectTest, ProbeKnowsTheAdapterByVendorAndProduct) {
  const struct {
    std::uint16_t vendor, product;
    int expected;
  } cases[] = {
      {0x7A5C, 0x4001, 1}, {0x7A5C, 0x4003, 1}, {0x7A5C, 0x4004, 0},
      {0x7A5C, 0x4002, 0}, {0x7A5D, 0x4001, 0}, {0x4001, 0x7A5C, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.vendor << ":" << c.product);
    FakeDetectOs machine;
    machine.hid_interfaces = OtherHidDevices();
    machine.hid_interfaces.push_back({"candidate", {c.vendor, c.product}});
    EXPECT_EQ(FindHidDevice({machine, &trace, false}), c.expected);
    EXPECT_EQ(machine.opened_paths.size(), 3u);
    EXPECT_EQ(machine.live_objects, 0);
  }
  EXPECT_EQ(console_io.out, "");
}

TEST_F(DetectTest, ProbeStopsAtTheFirstAdapter) {
  os.hid_interfaces = OtherHidDevices();
  os.hid_interfaces.push_back({"first", {0x7A5C, 0x4003}});
  os.hid_interfaces.push_back({"second", {0x7A5C, 0x4001}});
  EXPECT_EQ(Probe(), 1);
  EXPECT_EQ(os.opened_paths, (std::vector<std::string>{os.hid_interfaces[0].path,
                                                       os.hid_interfaces[1].path, "first"}));
  EXPECT_EQ(os.live_objects, 0);
}

TEST_F(DetectTest, ProbeGoesOnPastAnInterfaceThatFails) {
  const struct {
    const char* name;
    FakeHidInterface broken;
  } cases[] = {
      {"detail record", {"broken", {0x7A5C, 0x4001}, true, false, false}},
      {"open", {"broken", {0x7A5C, 0x4001}, false, true, false}},
      // An unread attribute record must not be compared.
      {"attributes", {"broken", {0x7A5C, 0x4001}, false, false, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDetectOs alone;
    alone.hid_interfaces = {c.broken};
    EXPECT_EQ(FindHidDevice({alone, nullptr, false}), 0);

    FakeDetectOs with_adapter;
    with_adapter.hid_interfaces = {c.broken, {"adapter", {0x7A5C, 0x4001}}};
    EXPECT_EQ(FindHidDevice({with_adapter, nullptr, false}), 1);
    EXPECT_EQ(with_adapter.opened_paths.back(), "adapter");
    EXPECT_EQ(with_adapter.live_objects, 0);
  }
}

TEST_F(DetectTest, ProbeReadsWhatWindowsHoldsForItselfWithoutAccess) {
  // A service processor that also presents a virtual keyboard: Windows holds
  // that collection for itself, and here the adapter's too.
  os.hid_interfaces = {{"keyboard", {0x7A5C, 0x4002}}, {"adapter", {0x7A5C, 0x4003}}};
  for (FakeHidInterface& device : os.hid_interfaces) device.exclusive = true;
  EXPECT_EQ(Probe(), 1);
  EXPECT_EQ(os.opened_paths, (std::vector<std::string>{"keyboard", "keyboard (no access)",
                                                       "adapter", "adapter (no access)"}));
  EXPECT_EQ(os.live_objects, 0);
}

TEST_F(DetectTest, ProbeWithoutInterfacesOrWithoutASet) {
  EXPECT_EQ(Probe(), 0);
  os.hid_set_fails = true;
  os.hid_interfaces = {{"adapter", {0x7A5C, 0x4001}}};
  EXPECT_EQ(Probe(), 0);
  EXPECT_TRUE(os.opened_paths.empty());
}

TEST_F(DetectTest, ScanDecidesFromTheIdsItSees) {
  const struct {
    std::vector<std::string> ids;
    int expected;
    const char* flags;  // QLN2, alt QLN2, KZ, Taskel
  } cases[] = {
      {{}, 0, "0000"},
      {{kAdapterId}, 1, "1000"},
      {{"USB\\Vid_7a5c&Pid_4001&Rev_0100"}, 1, "1000"},
      // As Windows matches hardware ids: ASCII letters in any case, the rest
      // exactly (the USB hub driver of current Windows writes capitals).
      {{"USB\\VID_7A5C&PID_4001&REV_0100"}, 1, "1000"},
      {{"usb\\vid_7a5c&pid_4003"}, 1, "0100"},
      {{"USB\\VID_7A5C&PID_4001", "USB\\VID_7A5C&PID_4004"}, 0, "1010"},
      {{"pci\\ven_1002&dev_5159&subsys_029a1f7d"}, 1, "0001"},
      {{"USB/VID_7A5C&PID_4001", "USB\\VID_7A5C PID_4003"}, 0, "0000"},
      {{std::string("x") + kAltAdapterId + "y"}, 1, "0100"},
      {{kKzId}, 0, "0010"},
      {{kAdapterId, kKzId}, 0, "1010"},
      {{kAltAdapterId, kKzId}, 0, "0110"},
      {{kAdapterId, kKzId, kTaskelId}, 1, "1011"},
      {{kTaskelId}, 1, "0001"},
      {{kKzId, kTaskelId}, 1, "0011"},
      {{std::string(kAdapterId) + kTaskelId}, 1, "1001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.ids));
    FakeDetectOs machine;
    machine.devices.push_back({MultiSz({"ROOT\\OTHER"})});
    for (const std::string& id : c.ids) machine.devices.push_back({MultiSz({id})});
    DetectionFlags seen;
    EXPECT_EQ(FindExistingDevice({machine, nullptr, false}, seen), c.expected);
    const std::string bits = {seen.qln2_usb ? '1' : '0', seen.alt_qln2_usb ? '1' : '0',
                              seen.kz_usb ? '1' : '0', seen.taskel_pci ? '1' : '0'};
    EXPECT_EQ(bits, c.flags);
    EXPECT_EQ(machine.live_objects, 0);
  }
}

TEST_F(DetectTest, ScanDecidesOnFlagsFromAnEarlierCall) {
  AddDevice({kKzId});
  EXPECT_EQ(Scan(), 0);
  os.devices = {{MultiSz({kAdapterId})}};
  EXPECT_EQ(Scan(), 0);  // the management module seen before still counts

  DetectionFlags adapter_seen;
  EXPECT_EQ(FindExistingDevice(Context(), adapter_seen), 1);
  os.devices.clear();
  EXPECT_EQ(FindExistingDevice(Context(), adapter_seen), 1);
  EXPECT_TRUE(adapter_seen.qln2_usb);
}

TEST_F(DetectTest, ScanWithoutADeviceSet) {
  os.device_set_fails = true;
  flags.taskel_pci = true;
  console_io.PressChar(' ');
  EXPECT_EQ(Scan(true), 0);
  EXPECT_EQ(console_io.out,
            std::string("FindExistingDevice - SetupDiGetClassDevs failed \r\n") + kPause);
  EXPECT_TRUE(console_io.keys.empty());

  console_io.out.clear();
  EXPECT_EQ(Scan(false), 0);
  EXPECT_EQ(console_io.out, "");
}

TEST_F(DetectTest, ScanTracesEveryIdAndPausesAfterKnownOnes) {
  AddDevice({"ROOT\\SYSTEM", "USB\\Vid_7a5c&Pid_4001&Rev_0100"});
  os.devices.push_back({});  // no hardware ids: skipped without a word
  AddDevice({std::string(kKzId) + " " + kTaskelId});
  for (int i = 0; i < 3; ++i) console_io.PressChar(' ');
  EXPECT_EQ(Scan(true), 1);
  EXPECT_EQ(console_io.out, Found("ROOT\\SYSTEM") + Found("USB\\Vid_7a5c&Pid_4001&Rev_0100") +
                                "FindExistingDevice - QLN2 USB ID found !\r\n" + kPause +
                                Found(std::string(kKzId) + " " + kTaskelId) +
                                "FindExistingDevice - KZ USB ID found !\r\n" + kPause +
                                "FindExistingDevice - Taskel PCI ID found !\r\n" + kPause);
  EXPECT_TRUE(console_io.keys.empty());  // one key per pause

  // The same scan without the verbose flag, and with the force code set,
  // which does not alter it.
  console_io.out.clear();
  console_io.PressChar(' ');
  DetectionFlags quiet;
  EXPECT_EQ(FindExistingDevice(Context(false, true), quiet), 1);
  EXPECT_EQ(console_io.out, "");
  EXPECT_EQ(console_io.keys.size(), 1u);
  EXPECT_TRUE(quiet.qln2_usb && quiet.kz_usb && quiet.taskel_pci);
}

TEST_F(DetectTest, ScanGrowsItsBufferAsThePlatformAsks) {
  AddDevice({"ROOT\\A"});                   // 8 bytes
  AddDevice({"ROOT\\LONGER_NAME", kKzId});  // 40 bytes
  AddDevice({kAdapterId});                  // 23 bytes: fits the buffer
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(os.allocations, (std::vector<std::uint32_t>{8, 40}));
  EXPECT_EQ(os.read_sizes, (std::vector<std::uint32_t>{0, 8, 8, 40, 40}));
  EXPECT_TRUE(flags.kz_usb && flags.qln2_usb);
  EXPECT_EQ(os.live_objects, 0);
}

TEST_F(DetectTest, ScanEndsAnIdListAtTheReportedSize) {
  // A list that fills its new buffer exactly, without the final empty
  // string or the last id's NUL.
  os.devices.push_back({std::string("ROOT\\X") + '\0' + kAltAdapterId});
  // A shorter list in the longer buffer of the device before it: the bytes
  // behind it are that device's.
  AddDevice({"ROOT\\A_DEVICE_WITH_A_MUCH_LONGER_ID"});
  os.devices.push_back({std::string("USB\\Vid_7a5c&Pid_400")});
  console_io.PressChar(' ');
  EXPECT_EQ(Scan(true), 1);
  EXPECT_EQ(console_io.out, Found("ROOT\\X") + Found(kAltAdapterId) +
                                "FindExistingDevice - alt QLN2 USB ID found !\r\n" + kPause +
                                Found("ROOT\\A_DEVICE_WITH_A_MUCH_LONGER_ID") +
                                Found("USB\\Vid_7a5c&Pid_400"));
  EXPECT_EQ(os.allocations, (std::vector<std::uint32_t>{28, 37}));
  EXPECT_FALSE(flags.qln2_usb);
}

TEST_F(DetectTest, ScanStopsAtAnUnknownReadFailure) {
  AddDevice({kAdapterId});
  os.devices.push_back({MultiSz({"ROOT\\X"}), 5});  // ERROR_ACCESS_DENIED
  AddDevice({kKzId});
  for (int i = 0; i < 2; ++i) console_io.PressChar(' ');
  EXPECT_EQ(Scan(true), 1);  // the management module is never seen
  EXPECT_EQ(console_io.out,
            Found(kAdapterId) + "FindExistingDevice - QLN2 USB ID found !\r\n" + kPause +
                "FindExistingDevice - Unknown failure occurred, returning failure\r\n" + kPause);
  EXPECT_EQ(os.read_sizes.size(), 3u);
  EXPECT_FALSE(flags.kz_usb);
  EXPECT_EQ(os.live_objects, 0);
}

TEST_F(DetectTest, ScanTreatsAnUnreadableBufferAsAReadFailure) {
  const struct {
    const char* name;
    bool allocation_fails;
    std::uint32_t read_error;
  } cases[] = {
      {"no memory for the buffer", true, 0},
      // A platform that calls the buffer too small without asking for more.
      {"too small, asking for nothing more", false, kErrorInsufficientBuffer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeConsoleIo io;
    Console quiet_console(io);
    ConsoleTrace quiet_trace(quiet_console);
    FakeDetectOs machine;
    machine.allocation_fails = c.allocation_fails;
    machine.devices = {{MultiSz({kTaskelId}), c.read_error}, {MultiSz({kTaskelId})}};
    DetectionFlags seen;
    EXPECT_EQ(FindExistingDevice({machine, &quiet_trace, false}, seen), 0);
    EXPECT_EQ(io.out,
              std::string("FindExistingDevice - Unknown failure occurred, returning failure\r\n") +
                  kPause);
    EXPECT_FALSE(seen.taskel_pci);
    EXPECT_EQ(machine.live_objects, 0);
  }
}

}  // namespace
}  // namespace qsetup
