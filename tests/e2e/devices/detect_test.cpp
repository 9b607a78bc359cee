// Device detection under Wine, on the HID devices that Wine shows and on root
// devices that the tests register. These tests have a Wine prefix of their
// own and run one at a time, so that the devices they register are seen by
// nothing else; each removes what it registered.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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

// The scan's trace without the lines of devices whose hardware ids are not
// in `ids`: Wine adds and starts its own devices in the background (more of
// them once its services are up, and later under load), so only the
// registered devices' lines can be compared exactly.
std::string TracesOf(const std::string& out, const std::vector<std::string>& ids) {
  const std::string found = "FindExistingDevice - Device ID ";
  std::string kept;
  for (std::string::size_type at = 0; at < out.size();) {
    std::string::size_type end = out.find("\r\n", at);
    end = end == std::string::npos ? out.size() : end + 2;
    const std::string line = out.substr(at, end - at);
    at = end;
    if (line.rfind(found, 0) == 0 &&
        std::none_of(ids.begin(), ids.end(),
                     [&](const std::string& id) { return line == Found(id); })) {
      continue;
    }
    kept += line;
  }
  return kept;
}

TEST(HardwareIdScan, RegisteredDevicesDecide) {
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
      // As the USB hub driver of current Windows spells it.
      {"CAPITALS",
       {{"USB\\VID_7A5C&PID_4003&REV_0100"}},
       Found("USB\\VID_7A5C&PID_4003&REV_0100") +
           "FindExistingDevice - alt QLN2 USB ID found !\r\n" + kPause,
       "FindExistingDevice = 1, flags 0100, last error 259\r\n"},
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
  std::vector<std::string> all_ids;
  for (const auto& c : cases) {
    for (const auto& ids : c.devices) all_ids.insert(all_ids.end(), ids.begin(), ids.end());
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::unique_ptr<RegisteredDevice>> devices;
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < c.devices.size(); ++i) {
      devices.push_back(std::make_unique<RegisteredDevice>(
          InstanceId(std::string(c.name) + std::to_string(i)), c.devices[i]));
      ASSERT_TRUE(devices.back()->registered());
      ids.insert(ids.end(), c.devices[i].begin(), c.devices[i].end());
    }

    // Among the lines of Wine's own devices, which find nothing, the
    // registered devices' traces and the answer they lead to.
    const RunResult r = Detect({"/D", "scan"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(TracesOf(r.out, ids), c.traces + c.result) << r.out;

    // Without the verbose flag only the answer; the force code changes
    // nothing.
    const RunResult quiet = Detect({"-FU", "scan"});
    EXPECT_EQ(quiet.out,
              std::string("Skipping hardware detection - forcing Taskel.\r\n") + c.result);
  }

  // Everything registered is gone again.
  EXPECT_EQ(TracesOf(Detect({"/D", "scan"}).out, all_ids), kNothingFound);
}

}  // namespace
}  // namespace qsetup::e2e
