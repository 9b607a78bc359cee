// The cost of the hardware-id scan against the number of present devices:
// machines of 100, 1000 and 10000 devices as the fake device set shows them,
// the adapter last. Every device is read and every id compared, so the time
// per device should stay flat as the machine grows.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "detect/detect.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_detect_os.h"

namespace qsetup {
namespace {

using testing::FakeConsoleIo;
using testing::FakeDetectOs;
using testing::FakeDevice;
using testing::MultiSz;

// Ids of the lengths and shapes that a server's devices report: a PCI
// function with its four ids, a USB device with two, an ACPI device with one
// (and, now and then, a device without any).
FakeDevice OrdinaryDevice(int n) {
  const std::string id = std::to_string(1000 + n % 9000);
  switch (n % 4) {
    case 0:
      return {MultiSz({"PCI\\VEN_8086&DEV_" + id + "&SUBSYS_00008086&REV_01",
                       "PCI\\VEN_8086&DEV_" + id + "&SUBSYS_00008086",
                       "PCI\\VEN_8086&DEV_" + id + "&CC_060400", "PCI\\VEN_8086&DEV_" + id}),
              0};
    case 1:
      return {MultiSz({"USB\\VID_0BDA&PID_" + id + "&REV_0100", "USB\\VID_0BDA&PID_" + id}), 0};
    case 2:
      return {MultiSz({"ACPI\\PNP0C0F"}), 0};
    default:
      return {std::nullopt, 0};
  }
}

void ScanDevices(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  FakeDetectOs os;
  os.devices.reserve(static_cast<std::size_t>(count));
  for (int n = 0; n + 1 < count; ++n) os.devices.push_back(OrdinaryDevice(n));
  os.devices.push_back({MultiSz({"USB\\Vid_7a5c&Pid_4001&Rev_0100", "USB\\Vid_7a5c&Pid_4001"}), 0});

  const DetectContext context{os, nullptr, false};
  for (auto _ : state) {
    DetectionFlags flags;
    const int found = FindExistingDevice(context, flags);
    if (found != 1) state.SkipWithError("the adapter was not found");
    benchmark::DoNotOptimize(found);
    // The fake records each read and allocation; keep that from growing
    // with the number of iterations.
    os.read_sizes.clear();
    os.allocations.clear();
  }
  state.counters["devices"] = count;
  state.counters["per_device"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

BENCHMARK(ScanDevices)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qsetup

BENCHMARK_MAIN();
