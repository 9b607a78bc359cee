#include "replace/replace.h"
#include "status/json_writer.h"
#include "status/status.h"

namespace qsetup {
namespace {

// The files of `set` by name, each with its stamp or null.
void Files(JsonOut& json, const char* key, const FileSet& set) {
  json.Begin(key);
  for (const StampedFile& file : set.files) {
    json.MaybeString(file.name,
                     file.state == StampedFile::State::kStamped ? file.version.c_str() : nullptr);
  }
  json.End();
}

// A directory of stamped files: where it is, their common version, each.
// The object stays open for members of its own; End closes it.
void OpenDirectory(JsonOut& json, const char* key, const FileSet& set) {
  json.Begin(key);
  json.String("directory", set.directory);
  json.MaybeString("version", set.version);
  Files(json, "files", set);
}

void PackageMember(JsonOut& json, const StatusReport& r) {
  OpenDirectory(json, "package", r.package);
  json.MaybeString("unusable", r.package_error != kErrorSuccess
                                   ? UnusableSourceReason(r.package_error)
                                   : nullptr);
  json.Bool("none", r.package_none);
  json.MaybeString("lacks", r.package_lacks);
  json.End();
}

void AdapterMember(JsonOut& json, const StatusReport& r) {
  json.Begin("adapter");
  json.MaybeString("route", r.route == Route::kNone ? nullptr : RouteText(r.route));
  json.Bool("hidProbe", r.hid_found);
  json.Bool("scan", r.scan_found);
  std::optional<std::uint32_t> setup_exit_code;
  if (r.setup_exit_code) setup_exit_code = static_cast<std::uint32_t>(*r.setup_exit_code);
  json.Number("setupExitCode", setup_exit_code);
  json.End();
}

void ServiceMembers(JsonOut& json, const StatusReport& r) {
  json.Begin("service");
  json.String("name", kServiceName);
  json.Bool("registered", r.service_registered);
  json.MaybeString("state", ServiceStateText(r.service_state));
  json.MaybeString("imagePath", r.service_image_path);
  json.Bool("runsSystemTool", r.service_runs_system_tool);
  json.End();

  json.Begin("legacy");
  json.Bool("tool", r.legacy_tool);
  json.Number("serviceKeys", static_cast<std::uint32_t>(r.legacy_service_keys));
  json.Number("keptServiceKeys", static_cast<std::uint32_t>(r.legacy_service_keys_kept));
  json.End();
}

// The restart, a run in progress, the report's elevation and the last
// run's record.
void RunMembers(JsonOut& json, const StatusReport& r) {
  json.Bool("restartOwed", r.restart_owed);
  json.Begin("waitingForRestart", '[');
  for (const StampedFile& file : r.installed.files) {
    if (file.at_restart) json.String(nullptr, file.name);
  }
  json.End(']');
  json.Bool("runInProgress", r.run_in_progress);
  json.Bool("elevated", r.elevated);
  const std::string* run = r.last_run.fields;
  if (!run[kLastRunTime].empty()) {
    json.Begin("lastRun");
    json.Raw("exitCode", run[kLastRunExitCode].c_str());
    json.Raw("eventId", run[kLastRunEventId].c_str());
    json.String("time", run[kLastRunTime]);
    json.String("version", run[kLastRunVersion]);
    json.Begin("waitingForRestart", '[');
    std::string_view rest = run[kLastRunAtRestart];
    for (std::string_view file; !(file = NextWord(rest)).empty();) json.String(nullptr, file);
    json.End(']');
    json.End();
  } else {
    json.Raw("lastRun", "null");
  }
}

}  // namespace

std::string ReportJson(const StatusReport& r) {
  std::string out;
  JsonOut json(out);
  json.Begin(nullptr);
  json.Number("schema", kStatusSchema);
  PackageMember(json, r);
  AdapterMember(json, r);

  json.MaybeString("systemDirectory", r.system_dir);
  Files(json, "installed", r.installed);
  OpenDirectory(json, "staged", r.staged);
  json.End();

  ServiceMembers(json, r);
  RunMembers(json, r);
  json.Bool("current", r.current);
  json.Number("exitCode", static_cast<std::uint32_t>(r.exit_code));

  json.Begin("faults", '[');
  for (const StatusFault& fault : r.faults) {
    json.Begin(nullptr);
    json.String("operation", fault.operation);
    json.String("subject", fault.subject);
    json.Number("windowsError", fault.error);
    json.End();
  }
  json.End(']');
  json.End();
  json.EndLine();
  return out;
}

}  // namespace qsetup
