#include <iterator>

#include "console/format.h"
#include "deploy/stamp_text.h"
#include "replace/replace.h"
#include "status/status.h"
#include "version.h"

namespace qsetup {
namespace {

constexpr char kUnknown[] = "unknown";

// The state's name, as both forms of the report give it; null for kNone.
const char* StateText(ServiceState state) {
  constexpr const char* kNames[] = {nullptr,   "stopped",          "start pending", "stop pending",
                                    "running", "continue pending", "pause pending", "paused"};
  const auto index = static_cast<std::uint32_t>(state);
  return index < std::size(kNames) ? kNames[index] : nullptr;
}

const char* YesNo(std::optional<bool> value) {
  return value ? (*value ? "yes" : "no") : kUnknown;
}

// --- The report for a person -------------------------------------------------

// Formats with FormatText's rules ("%s" and "%-18s" with string arguments)
// onto the end of a string.
class TextOut final : public TextSink {
 public:
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

  std::string out;
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

// --- The JSON form -----------------------------------------------------------

// Decodes one UTF-8 sequence at `at` (advancing it); U+FFFD for a byte that
// does not begin a well-formed one (overlong forms, surrogates and values
// beyond U+10FFFF included).
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at++);
  if (lead < 0x80) return lead;
  std::size_t more = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0xFFFD;
  }
  if (text.size() - at < more) return 0xFFFD;
  for (std::size_t i = 0; i < more; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0xFFFD;
    value = value << 6 | (byte(at + i) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
  at += more;
  return value;
}

void AppendUnit(std::string& out, std::uint32_t unit) {
  constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

// Writes one JSON object. Keys are the report's own ASCII names.
class JsonOut {
 public:
  // A member `key` (none for an element of an array) that holds an object,
  // or with '[' an array; End closes it.
  void Begin(const char* key, char bracket = '{') {
    Name(key);
    out_ += bracket;
    first_ = true;
  }
  void End(char bracket = '}') {
    out_ += bracket;
    first_ = false;
  }
  void String(const char* key, std::string_view text) {
    Name(key);
    out_ += JsonString(text);
  }
  // A string, or null for none.
  void MaybeString(const char* key, const std::optional<std::string>& text) {
    MaybeString(key, text ? text->c_str() : nullptr);
  }
  void MaybeString(const char* key, const char* text) {
    if (text != nullptr) {
      String(key, text);
    } else {
      Raw(key, "null");
    }
  }
  void Bool(const char* key, std::optional<bool> value) {
    Raw(key, value ? (*value ? "true" : "false") : "null");
  }
  void Number(const char* key, std::optional<std::uint32_t> value) {
    char buffer[11];
    Raw(key, value ? Decimal(*value, buffer) : "null");
  }
  void Files(const char* key, const FileSet& set) {
    Begin(key);
    for (const StampedFile& file : set.files) {
      MaybeString(file.name,
                  file.state == StampedFile::State::kStamped ? file.version.c_str() : nullptr);
    }
    End();
  }
  // A directory of stamped files: where it is, their common version, each.
  // The object stays open for members of its own; End closes it.
  void OpenDirectory(const char* key, const FileSet& set) {
    Begin(key);
    String("directory", set.directory);
    MaybeString("version", set.version);
    Files("files", set);
  }

  std::string Take() { return std::move(out_); }

  void Raw(const char* key, const char* text) {
    Name(key);
    out_ += text;
  }

 private:
  void Name(const char* key) {
    if (!first_) out_ += ',';
    first_ = false;
    if (key == nullptr) return;
    out_.append("\"").append(key).append("\":");
  }

  std::string out_;
  bool first_ = true;
};

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const char32_t c = NextCodePoint(text, at);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c < 0x10000) {
      AppendUnit(out, c);
    } else {
      AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out += '"';
}

std::string ReportText(const StatusReport& r) {
  TextOut text;
  char number[11];
  text.Put("%s " QSETUP_PRODUCT_VERSION ": Orvane Quillon 2 software on this server\r\n\r\n",
           kStatusProgramName);

  SetLines(text, "Package", r.package, nullptr);
  if (r.package_none) {
    text.Line("", "no package here: current means this program's version, " QSETUP_PRODUCT_VERSION);
  }

  // The routes by the names that SETUP.EXE's events give them.
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

  text.Line("Installed", "%s",
            r.system_dir ? r.system_dir->c_str() : "unknown: the system directory is unusable");
  FileLines(text, r.installed, &r.package);
  SetLines(text, "Staged", r.staged, &r.package);

  text.Put("Service %-10s", kServiceName);
  if (!r.service_registered) {
    text.Put("not registered\r\n");
  } else {
    const char* state = StateText(r.service_state);
    text.Put("registered, %s, runs %s%s\r\n", state != nullptr ? state : "state unknown",
             r.service_image_path ? r.service_image_path->c_str() : "an unknown program",
             r.service_runs_system_tool ? "" : " (not the system directory's TELMXSVC.EXE)");
  }
  text.Put("%-18slegacy tool %s, legacy service keys: %s", "Older software",
           r.legacy_tool ? (*r.legacy_tool ? "present" : "none") : kUnknown,
           Decimal(static_cast<std::uint32_t>(r.legacy_service_keys), number));
  if (r.legacy_service_keys_kept > 0) {
    text.Put(", and %s that SETUP.EXE cannot delete",
             Decimal(static_cast<std::uint32_t>(r.legacy_service_keys_kept), number));
  }
  text.Put("\r\n");
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
  return std::move(text.out);
}

std::string ReportJson(const StatusReport& r) {
  JsonOut json;
  json.Begin(nullptr);
  json.Number("schema", kStatusSchema);

  json.OpenDirectory("package", r.package);
  json.MaybeString("unusable", r.package_error != kErrorSuccess
                                   ? UnusableSourceReason(r.package_error)
                                   : nullptr);
  json.Bool("none", r.package_none);
  json.MaybeString("lacks", r.package_lacks);
  json.End();

  json.Begin("adapter");
  json.MaybeString("route", r.route == Route::kNone ? nullptr : RouteText(r.route));
  json.Bool("hidProbe", r.hid_found);
  json.Bool("scan", r.scan_found);
  std::optional<std::uint32_t> setup_exit_code;
  if (r.setup_exit_code) setup_exit_code = static_cast<std::uint32_t>(*r.setup_exit_code);
  json.Number("setupExitCode", setup_exit_code);
  json.End();

  json.MaybeString("systemDirectory", r.system_dir);
  json.Files("installed", r.installed);

  json.OpenDirectory("staged", r.staged);
  json.End();

  json.Begin("service");
  json.String("name", kServiceName);
  json.Bool("registered", r.service_registered);
  json.MaybeString("state", StateText(r.service_state));
  json.MaybeString("imagePath", r.service_image_path);
  json.Bool("runsSystemTool", r.service_runs_system_tool);
  json.End();

  json.Begin("legacy");
  json.Bool("tool", r.legacy_tool);
  json.Number("serviceKeys", static_cast<std::uint32_t>(r.legacy_service_keys));
  json.Number("keptServiceKeys", static_cast<std::uint32_t>(r.legacy_service_keys_kept));
  json.End();

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
  return json.Take() + "\r\n";
}

}  // namespace qsetup
