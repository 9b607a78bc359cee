#include "status/survey_reader.h"

#include <array>
#include <memory>
#include <new>

#include "base/ascii.h"
#include "console/console.h"
#include "console/null_console_io.h"
#include "deploy/deploy.h"
#include "deploy/stamp_text.h"
#include "detect/detect.h"
#include "replace/replace.h"
#include "replace/restart_record.h"
#include "rules/exit_codes.h"
#include "rules/system_directory.h"
#include "status/status.h"
#include "version.h"

namespace qsetup {
namespace {

constexpr char kImagePathValue[] = "ImagePath";

// The survey's jobs, which Run takes in turn.
class Survey final : public SurveyReader {
 public:
  using SurveyReader::SurveyReader;

  void Run(const char* command_path, bool skip_hid);

 private:
  // The system directory (empty when it is unusable) as the report shows
  // it, with the folders of the installed and staged files; returns where
  // its files lie for 64-bit programs.
  std::string SurveyDirectories(const std::string& system_dir);
  void SurveyPackage(const char* command_path);
  void SurveyAdapter(bool skip_hid);
  void ForeseeExitCode(bool skip_hid);
  void SurveyService(const std::string& native_dir);
  void SurveyLegacy(const std::string& system_dir);
  void SurveyWaiting(const std::string& system_folder);
  void SurveyRunLock();
  void SurveyLastRun();
  void Decide();

  int legacy_service_keys_unknown_ = 0;
};

void Survey::SurveyPackage(const char* command_path) {
  // SETUP.EXE's own rule, from the same directory.
  const ModulePath module = p_.source.ReadModulePath();
  const SourceDirectory source = ChooseSourceDirectory(command_path, module, p_.source);
  report_.package_error = source.error;

  // The directory as Windows names it, whether SETUP.EXE can use it or not;
  // UTF-8 holds any name but one with a lone surrogate.
  std::optional<std::string> directory;
  if (!module.path.empty()) {
    const std::size_t slash = module.path.rfind(u'\\');
    directory = p_.os.Utf16ToUtf8(
        std::u16string_view(module.path.data(), slash != std::u16string::npos ? slash : 0));
  }
  if (directory) {
    report_.package.directory = std::move(*directory);
  } else {
    Fault("find the program's directory", {},
          module.path.empty() ? module.error : kErrorNoUnicodeTranslation);
  }

  // The files where SETUP.EXE reads them; none where the code page cannot
  // name the directory.
  std::string folder = source.path;
  if (!folder.empty() && !folder.ends_with('\\') && !folder.ends_with('/')) folder += '\\';
  ReadStamps(report_.package, folder, kReportedFiles);

  // Staging's own rule on what was found.
  std::array<PackageFileState, kStagedFiles.size()> states;
  for (std::size_t i = 0; i < states.size(); ++i) {
    const StampedFile::State state = FindFile(report_.package, kStagedFiles[i])->state;
    states[i] = state == StampedFile::State::kAbsent       ? PackageFileState::kAbsent
                : state == StampedFile::State::kUnreadable ? PackageFileState::kUnreadable
                                                           : PackageFileState::kReadable;
  }
  const PackageCheck check = CheckPackage(states);
  report_.package_none = !check.any;
  if (check.any && source.usable()) report_.package_lacks = check.lacking;
}

void Survey::SurveyAdapter(bool skip_hid) {
  WatchedDetectOs detect(p_.detect);
  // The report never asks for detection's trace, which would spoil the JSON,
  // and never waits for a key.
  const DetectContext context{detect, /*trace=*/nullptr, /*force_usb=*/false};
  // SETUP.EXE runs the probe under /H too and overrules its answer; the
  // report leaves it out, which gives the same route.
  if (!skip_hid) report_.hid_found = FindHidDevice(context) == 1;
  report_.route = ChooseRoute(report_.hid_found.value_or(false), skip_hid, /*forced=*/false);
  if (report_.route == Route::kHardwareIdScan) {
    DetectionFlags flags;
    report_.scan_found = FindExistingDevice(context, flags) != 0;
  }
  if (detect.hid_refused) Fault("list the HID devices", {});
  if (detect.devices_refused) Fault("list the present devices", {});
  if (detect.memory_refused) Fault("allocate memory for hardware ids", {});
}

void Survey::SurveyService(const std::string& native_dir) {
  const std::string key_path = kServicesPath + std::string(kServiceName);
  RegistryKeyReaderPtr key;
  const WinError opened = p_.registry.OpenLocalMachineKey(key_path, kKeyQueryValue, key);
  if (opened == kErrorSuccess) {
    report_.service_registered = true;
    RegistryValue image;
    const WinError queried = key->QueryValue(kImagePathValue, image);
    if (queried == kErrorSuccess && (image.type == RegistryValue::Type::kString ||
                                     image.type == RegistryValue::Type::kExpandString)) {
      report_.service_image_path = Utf8(image.text);
      report_.service_runs_system_tool =
          !native_dir.empty() &&
          StartsProgram(image.text, ServiceToolPath(SystemFolder(native_dir)));
    } else if (queried != kErrorFileNotFound) {
      FaultOn("read the registry value", key_path + "\\" + kImagePathValue, queried);
    }
  } else if (opened != kErrorFileNotFound) {
    FaultOn("open the registry key", key_path, opened);
  }

  const ServiceQuery query = p_.os.QueryService(kServiceName);
  report_.service_state = query.state;
  if (query.error != kErrorSuccess && query.error != kErrorServiceDoesNotExist) {
    Fault("ask the service control manager about", kServiceName, query.error);
  }
}

void Survey::SurveyLegacy(const std::string& system_dir) {
  // Each key whose fate the purge's rule cannot tell is a fault.
  class Faults final : public UnknownFates {
   public:
    explicit Faults(Survey& survey) : survey_(survey) {}
    void Unknown(const std::string& name, WinError error) override {
      survey_.FaultOn(error == kErrorElevationRequired
                          ? "tell without elevation whether SETUP.EXE can delete the registry key"
                          : "tell whether SETUP.EXE can delete the registry key",
                      kServicesPath + name, error);
    }

   private:
    Survey& survey_;
  } faults(*this);
  // A token that user account control filtered is refused what SETUP.EXE's
  // is given.
  bool elevated = false;
  if (const WinError error = p_.os.CheckElevated(elevated); error == kErrorSuccess) {
    report_.elevated = elevated;
  } else {
    Fault("tell whether QLN2STAT.EXE runs elevated", {}, error);
  }
  const LegacyServiceKeys keys = CountLegacyServiceKeys(p_.registry, faults, elevated);
  report_.legacy_service_keys = keys.deleted;
  report_.legacy_service_keys_kept = keys.kept;
  legacy_service_keys_unknown_ = keys.unknown;
  if (keys.error != kErrorSuccess) Fault("list the registry key", kServicesPath, keys.error);

  if (system_dir.empty()) return;
  const std::string tool = SystemFolder(system_dir) + kLegacyToolName;
  const WinError found = p_.os.FindPath(tool);
  if (found == kErrorSuccess || found == kErrorFileNotFound || found == kErrorPathNotFound) {
    report_.legacy_tool = found == kErrorSuccess;
  } else {
    FaultOn("look for", tool, found);
  }
}

void Survey::SurveyWaiting(const std::string& system_folder) {
  for (StampedFile& file : report_.installed.files) {
    StampedFile waiting;
    ReadStamp(waiting, WaitingCopyName(system_folder + file.name));
    if (waiting.state == StampedFile::State::kStamped) file.at_restart = std::move(waiting.version);
  }
}

void Survey::SurveyRunLock() {
  const RunLockProbe lock = p_.os.FindRunLock();
  if (lock.presence == RunLockPresence::kUnknown) {
    Fault("look for the run lock", {}, lock.error);
  } else {
    // An object that no run made is not a run's lock to SETUP.EXE either.
    report_.run_in_progress = lock.presence == RunLockPresence::kRun;
  }
}

void Survey::Decide() {
  // Current: each file of the service is the package's, by the installer's
  // own comparison, and the service runs the system directory's tool.
  bool current = report_.service_registered && report_.service_runs_system_tool;
  // A file in use counts by the copy that the next start puts in its place.
  for (const StampedFile& installed : report_.installed.files) {
    // Against the package's file, or where it has none, this program's own
    // version, as a program copied without its package is.
    const StampedFile* packaged = FindFile(report_.package, installed.name);
    const std::optional<std::string> version = installed.at_restart ? installed.at_restart
                                               : installed.state == StampedFile::State::kStamped
                                                   ? std::optional(installed.version)
                                                   : std::nullopt;
    const char* reference = packaged->state == StampedFile::State::kStamped
                                ? packaged->version.c_str()
                                : QSETUP_PRODUCT_VERSION;
    if (!version || CompareStampValues(*version, reference) != 0) {
      current = false;
    }
  }
  report_.current = current;
  if (!current) {
    report_.exit_code = kStatusNotCurrent;
  } else {
    report_.exit_code = report_.restart_owed ? kStatusCurrentRestartOwed : kStatusCurrent;
  }
}

std::string Survey::SurveyDirectories(const std::string& system_dir) {
  if (system_dir.empty()) {
    Fault("read the system directory", {});
    return {};
  }
  std::string native_dir = NativeSystemDirectory(p_.system, system_dir);
  report_.system_dir = Utf8(native_dir);
  report_.installed.directory = *report_.system_dir;
  std::string staging = StagingFolder(native_dir);
  staging.pop_back();  // its closing separator
  report_.staged.directory = Utf8(staging);
  return native_dir;
}

void Survey::ForeseeExitCode(bool skip_hid) {
  SurveyAdapter(skip_hid);
  // A package directory that SETUP.EXE cannot use ends its run with 2
  // before detection; the adapter is reported all the same. Keys whose
  // fate is unknown leave the code unknown where they would change it.
  if (report_.package_error != kErrorSuccess) return;
  const auto outcome = [&](bool removed) {
    return OutcomeExitCode(report_.route, report_.scan_found.value_or(true),
                           report_.package_lacks != nullptr
                               ? kReplaceCopyFailed
                               : ReplacementResult(false, removed, report_.restart_owed));
  };
  const int kept = outcome(report_.legacy_service_keys > 0);
  report_.setup_exit_code = kept;
  if (legacy_service_keys_unknown_ > 0 && outcome(true) != kept) {
    report_.setup_exit_code = std::nullopt;
  }
}

void Survey::SurveyLastRun() {
  WinError last_run_error = kErrorSuccess;
  if (!ReadLastRun(p_.registry, report_.last_run, last_run_error) &&
      last_run_error != kErrorSuccess) {
    Fault("read the last run's record", kProductKeyName, last_run_error);
  }
}

void Survey::Run(const char* command_path, bool skip_hid) {
  block_.reset(new (std::nothrow) char[kStampBlockSize]);
  SurveyPackage(command_path);

  // The system directory as SETUP.EXE reads it (empty when it is unusable),
  // and where its files lie for 64-bit programs.
  const SystemDirectory read = p_.system.ReadSystemDirectory();
  const std::string system_dir = UsableSystemDirectory(read) ? read.path : std::string();
  const std::string native_dir = SurveyDirectories(system_dir);

  // What SETUP.EXE would do: on an unusable system directory it fails
  // before detection; otherwise it installs on the route that detection
  // gives, and asks for a restart where the purge removes legacy service
  // keys or an earlier run left one owed.
  SurveyLegacy(system_dir);
  WinError record_error = kErrorSuccess;
  report_.restart_owed = RestartRecorded(p_.registry, &record_error);
  if (record_error != kErrorSuccess)
    Fault("read the restart record", kProductKeyName, record_error);
  report_.setup_exit_code = kExitFailed;
  if (!system_dir.empty()) ForeseeExitCode(skip_hid);
  ReadStamps(report_.installed, system_dir.empty() ? system_dir : SystemFolder(system_dir),
             kServiceFiles);
  if (!system_dir.empty()) SurveyWaiting(SystemFolder(system_dir));
  ReadStamps(report_.staged, system_dir.empty() ? system_dir : StagingFolder(system_dir),
             kStagedFiles);
  SurveyService(native_dir);
  SurveyRunLock();
  SurveyLastRun();
  Decide();
}

}  // namespace

StatusReport SurveyMachine(StatusPlatform& platform, const char* command_path, bool skip_hid) {
  StatusReport report;
  Survey(platform, report).Run(command_path, skip_hid);
  return report;
}

}  // namespace qsetup
