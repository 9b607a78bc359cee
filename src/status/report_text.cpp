#include <iterator>

#include "console/format.h"
#include "deploy/stamp_text.h"
#include "replace/replace.h"
#include "status/status.h"
#include "version.h"

namespace qsetup {
namespace {

constexpr char kUnknown[] = "unknown";

const char* YesNo(std::optional<bool> value) {
  return value ? (*value ? "yes" : "no") : kUnknown;
}

// Formats with FormatText's rules ("%s" and "%-18s" with string arguments)
// onto the end of the string `out`.
class TextOut final : public TextSink {
 public:
  explicit TextOut(std::string& text) : out(text) {}

  template <typename... Args>
  void Put(std::string_view format, Args... args) {
    const char* const values[] = {static_cast<const char*>(args)..., nullptr};
    FormatTo(*this, format, std::span(values, sizeof...(Args)));
  }
  // One line: a label in its column (with `label_format`), then the text.
  template <typename... Args>
  void Line(const char* label, std::string_view format, Args... args) {
    LineWith("%-18s", label, format, args...);
  }
  template <typename... Args>
  void LineWith(std::string_view label_format, const char* label, std::string_view format,
                Args... args) {
    Put(label_format, label);
    Put(format, args...);
    out.append("\r\n");
  }

  void Append(std::string_view piece) override { out.append(piece); }
  void AppendBlanks(std::size_t count) override { out.append(count, ' '); }

  std::string& out;
};

// One line for each file of `set`, with its version set against that of the
// package's file of its name, when `package` is given.
void FileLines(TextOut& text, const FileSet& set, const FileSet* package) {
  constexpr char kIndented[] = "  %-16s";
  for (const StampedFile& file : set.files) {
    const char* label = file.name;
    const StampedFile* packaged = package != nullptr ? FindFile(*package, file.name) : nullptr;
    if (file.at_restart) {
      text.LineWith(kIndented, label, "%s, and %s at the next start of Windows",
                    file.state == StampedFile::State::kStamped ? file.version.c_str() : "none",
                    file.at_restart->c_str());
      continue;
    }
    switch (file.state) {
      case StampedFile::State::kAbsent:
        text.LineWith(kIndented, label, "none");
        continue;
      case StampedFile::State::kNoStamp:
        text.LineWith(kIndented, label, "no version stamp");
        continue;
      case StampedFile::State::kUnreadable:
        text.LineWith(kIndented, label, "could not be read");
        continue;
      case StampedFile::State::kStamped:
        break;
    }
    if (packaged == nullptr || packaged->state != StampedFile::State::kStamped) {
      text.LineWith(kIndented, label, "%s", file.version.c_str());
      continue;
    }
    const int order = CompareStampValues(file.version, packaged->version);
    text.LineWith(kIndented, label,
                  order == 0  ? "%s (the package's)"
                  : order < 0 ? "%s (older than the package's %s)"
                              : "%s (newer than the package's %s)",
                  file.version.c_str(), packaged->version.c_str());
  }
}

// The line of a file set: its directory and shared version, or its
// directory and a line for each file.
void SetLines(TextOut& text, const char* label, const FileSet& set, const FileSet* package) {
  const char* directory = set.directory.empty() ? kUnknown : set.directory.c_str();
  bool none = true;
  for (const StampedFile& file : set.files) {
    if (file.state != StampedFile::State::kAbsent) none = false;
  }
  if (set.version || none) {
    text.Line(label, set.version ? "%s, version %s" : "%s: none", directory,
              set.version ? set.version->c_str() : "");
    return;
  }
  text.Line(label, "%s", directory);
  FileLines(text, set, package);
}

// The adapter as SETUP.EXE's detection finds it, by the routes' names in
// SETUP.EXE's events, and what SETUP.EXE would end with.
void AdapterLine(TextOut& text, const StatusReport& r) {
  const char* found = "not found (%s)";
  if (r.route == Route::kNone) {
    found = "not looked for: the system directory is unusable%s";
  } else if (r.route != Route::kHardwareIdScan) {
    found = "found by the %s";
  } else if (r.scan_found.value_or(false)) {
    found = "found by the %s, without a working USB driver";
  }
  text.Put("%-18s", "Adapter");
  text.Put(found, r.route == Route::kNone ? "" : RouteText(r.route));
  if (r.setup_exit_code) {
    char number[11];
    text.Put("; SETUP.EXE would end with %s",
             Decimal(static_cast<std::uint32_t>(*r.setup_exit_code), number));
  } else {
    text.Put("; SETUP.EXE's exit code cannot be told (see below)");
  }
  if (r.package_error != kErrorSuccess) {
    text.Put(": the package directory %s", UnusableSourceReason(r.package_error));
  } else if (r.package_lacks != nullptr) {
    text.Put(": the package lacks %s, or it cannot be read", r.package_lacks);
  }
  text.Put("\r\n");
}

// The service's line and that of the older software.
void ServiceLines(TextOut& text, const StatusReport& r) {
  text.Put("Service %-10s", kServiceName);
  if (!r.service_registered) {
    text.Put("not registered\r\n");
  } else {
    const char* state = ServiceStateText(r.service_state);
    text.Put("registered, %s, runs %s%s\r\n", state != nullptr ? state : "state unknown",
             r.service_image_path ? r.service_image_path->c_str() : "an unknown program",
             r.service_runs_system_tool ? "" : " (not the system directory's TELMXSVC.EXE)");
  }
  char number[11];
  text.Put("%-18slegacy tool %s, legacy service keys: %s", "Older software",
           r.legacy_tool ? (*r.legacy_tool ? "present" : "none") : kUnknown,
           Decimal(static_cast<std::uint32_t>(r.legacy_service_keys), number));
  if (r.legacy_service_keys_kept > 0) {
    text.Put(", and %s that SETUP.EXE cannot delete",
             Decimal(static_cast<std::uint32_t>(r.legacy_service_keys_kept), number));
  }
  text.Put("\r\n");
}

// The restart, a run in progress and the last run's record.
void RunLines(TextOut& text, const StatusReport& r) {
  text.Put("%-18s%s", "Restart owed", YesNo(r.restart_owed));
  const char* lead = ": the next start of Windows completes %s";
  for (const StampedFile& file : r.installed.files) {
    if (!file.at_restart) continue;
    text.Put(lead, file.name);
    lead = ", %s";
  }
  text.Put("\r\n");
  text.Line("Run in progress", "%s", YesNo(r.run_in_progress));
  const std::string* run = r.last_run.fields;
  if (!run[kLastRunTime].empty()) {
    text.Put("%-18s%s, SETUP.EXE %s: exit code %s, event %s", "Last run", run[kLastRunTime].c_str(),
             run[kLastRunVersion].c_str(), run[kLastRunExitCode].c_str(),
             run[kLastRunEventId].c_str());
    std::string_view joiner = "; the next start of Windows completes ";
    std::string_view rest = run[kLastRunAtRestart];
    for (std::string_view file; !(file = NextWord(rest)).empty(); joiner = ", ") {
      text.Append(joiner);
      text.Append(file);
    }
    text.Put("\r\n");
  } else {
    text.Line("Last run", "none recorded");
  }
}

}  // namespace

const char* ServiceStateText(ServiceState state) {
  constexpr const char* kNames[] = {nullptr,   "stopped",          "start pending", "stop pending",
                                    "running", "continue pending", "pause pending", "paused"};
  const auto index = static_cast<std::uint32_t>(state);
  return index < std::size(kNames) ? kNames[index] : nullptr;
}

std::string ReportText(const StatusReport& r) {
  std::string out;
  TextOut text(out);
  text.Put("%s " QSETUP_PRODUCT_VERSION ": Orvane Quillon 2 software on this server\r\n\r\n",
           kStatusProgramName);

  SetLines(text, "Package", r.package, nullptr);
  if (r.package_none) {
    text.Line("", "no package here: current means this program's version, " QSETUP_PRODUCT_VERSION);
  }
  AdapterLine(text, r);
  text.Line("Installed", "%s",
            r.system_dir ? r.system_dir->c_str() : "unknown: the system directory is unusable");
  FileLines(text, r.installed, &r.package);
  SetLines(text, "Staged", r.staged, &r.package);
  ServiceLines(text, r);
  RunLines(text, r);
  char number[11];
  text.Line("Current", "%s (exit code %s)",
            r.current ? "yes" : "no: not installed, older or incomplete",
            Decimal(static_cast<std::uint32_t>(r.exit_code), number));

  if (!r.faults.empty()) text.Put("\r\n");
  for (const StatusFault& fault : r.faults) {
    text.Put(fault.subject.empty() ? "Could not %s" : "Could not %s %s", fault.operation,
             fault.subject.c_str());
    if (fault.error) text.Put(": Windows error %s", Decimal(*fault.error, number));
    text.Put(".\r\n");
  }
  return out;
}

}  // namespace qsetup
