// Device detection under Wine, on the HID devices that Wine shows and on root
// devices that the tests register. These tests have a Wine prefix of their
// own and run one at a time, so that the devices they register are seen by
// nothing else; each removes what it registered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/devices/machine.h"
#include "e2e/wine_runner.h"

namespace qsetup::e2e {
namespace {

constexpr char kPause[] = "Press ENTER to continue \r\n";
constexpr char kNothingFound[] = "FindExistingDevice = 0, flags 0000, last error 259\r\n";

RunResult Detect(const std::vector<std::string>& args) {
  return RunWine(Fixture("detect_run"), {.args = args});
}

std::string Found(const std::string& id) {
  return "FindExistingDevice - Device ID " + id + " was found \r\n";
}

TEST(HidProbe, WalksAndRejectsWinesOwnHidDevices) {
  const RunResult listed = RunWine(Fixture("device_registry"), {.args = {"hid"}});
  ASSERT_EQ(listed.exit_code, 0);
  ASSERT_EQ(listed.out, "845E:0001\r\n845E:0002\r\n");

  const RunResult r = Detect({"oslog", "hid"});
  EXPECT_EQ(r.exit_code, 0);
  // Each device is opened and its attributes read; neither is the adapter.
  const std::string::size_type first = r.out.find("\r\nattributes 845E:0001\r\nopen ");
  EXPECT_NE(first, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\r\nattributes 845E:0002\r\nFindHidDevice = 0\r\n", first),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.rfind("open ", 0), 0u) << r.out;
}

TEST(HidProbe, ForceCodeUAnswersWithoutOpeningADevice) {
  const RunResult r = Detect({"-fu", "oslog", "hid"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Skipping hardware detection - forcing Taskel.\r\nFindHidDevice = 1\r\n");
}

TEST(HardwareIdScan, WinesOwnDevicesHoldNoKnownId) {
  const RunResult quiet = Detect({"scan"});
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.out, kNothingFound);

  const RunResult traced = Detect({"/D", "scan"});
  EXPECT_EQ(traced.exit_code, 0);
  EXPECT_NE(traced.out.find(Found("WINEBUS\\VID_845E&PID_0001")), std::string::npos) << traced.out;
  EXPECT_NE(traced.out.find(Found("HID\\VID_845E&PID_0001")), std::string::npos) << traced.out;
  EXPECT_EQ(traced.out.find(kPause), std::string::npos) << traced.out;
}

TEST(HardwareIdScan, RegisteredDevicesDecide) {
  const RunResult before = Detect({"/D", "scan"});
  ASSERT_EQ(before.exit_code, 0);
  ASSERT_GE(before.out.size(), sizeof kNothingFound - 1);
  const std::string traces_before =
      before.out.substr(0, before.out.size() - (sizeof kNothingFound - 1));
  ASSERT_EQ(before.out.substr(traces_before.size()), kNothingFound);

  const struct {
    const char* name;
    std::vector<std::vector<std::string>> devices;  // hardware ids, device by device
    std::string traces;                             // of the registered devices
    const char* result;
  } cases[] = {
      {"ADAPTER",
       {{"USB\\Vid_7a5c&Pid_4001&Rev_0100", "USB\\Vid_7a5c&Pid_4001"}},
       Found("USB\\Vid_7a5c&Pid_4001&Rev_0100") + "FindExistingDevice - QLN2 USB ID found !\r\n" +
           kPause + Found("USB\\Vid_7a5c&Pid_4001") +
           "FindExistingDevice - QLN2 USB ID found !\r\n" + kPause,
       "FindExistingDevice = 1, flags 1000, last error 259\r\n"},
      {"CAPITALS", {{"USB\\VID_7A5C&PID_4003"}}, Found("USB\\VID_7A5C&PID_4003"), kNothingFound},
      {"MODULE",
       {{"USB\\Vid_7a5c&Pid_4003"}, {"USB\\Vid_7a5c&Pid_4004"}},
       Found("USB\\Vid_7a5c&Pid_4003") + "FindExistingDevice - alt QLN2 USB ID found !\r\n" +
           kPause + Found("USB\\Vid_7a5c&Pid_4004") + "FindExistingDevice - KZ USB ID found !\r\n" +
           kPause,
       "FindExistingDevice = 0, flags 0110, last error 259\r\n"},
      {"TASKEL",
       {{"PCI\\VEN_1002&DEV_5159&SUBSYS_029A1F7D&REV_00"}},
       Found("PCI\\VEN_1002&DEV_5159&SUBSYS_029A1F7D&REV_00") +
           "FindExistingDevice - Taskel PCI ID found !\r\n" + kPause,
       "FindExistingDevice = 1, flags 0001, last error 259\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::unique_ptr<RegisteredDevice>> devices;
    for (std::size_t i = 0; i < c.devices.size(); ++i) {
      devices.push_back(std::make_unique<RegisteredDevice>(
          InstanceId(std::string(c.name) + std::to_string(i)), c.devices[i]));
      ASSERT_TRUE(devices.back()->registered());
    }

    // The registered devices' traces appear among the others', which are
    // as before.
    const RunResult r = Detect({"/D", "scan"});
    EXPECT_EQ(r.exit_code, 0);
    std::string rest = r.out;
    const std::string::size_type at = rest.find(c.traces);
    ASSERT_NE(at, std::string::npos) << r.out;
    rest.erase(at, c.traces.size());
    EXPECT_EQ(rest, traces_before + c.result);

    // Without the verbose flag only the answer; the force code changes
    // nothing.
    const RunResult quiet = Detect({"-FU", "scan"});
    EXPECT_EQ(quiet.out,
              std::string("Skipping hardware detection - forcing Taskel.\r\n") + c.result);
  }

  // Everything registered is gone again.
  EXPECT_EQ(Detect({"/D", "scan"}).out, before.out);
}

}  // namespace
}  // namespace qsetup::e2e
