// The event that every run of SETUP.EXE leaves in the Application log, under
// Wine: its event log writes each event's type, id and strings on its debug
// channels, which these tests read. The event source's registration names
// the message file that runs put into the staging directory, whose message
// table a 64-bit viewer (the x64 build of the event_message fixture)
// renders. These tests install for real, so they
// share the device tests' prefix; each leaves the machine as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/devices/machine.h"
#include "e2e/wine_runner.h"
#include "support/event_facts.h"

namespace qsetup::e2e {
namespace {

namespace fs = std::filesystem;

using written::Facts;

// Wine's fixme line of each ReportEventW call (type, id and the number of
// strings) and its line of each string, on the channel of the event's type.
constexpr char kEventTrace[] = "-all,+eventlog,fixme+advapi";

struct Event {
  int type;  // 1 error, 2 warning, 4 information
  std::uint32_t id;
  std::vector<std::string> strings;

  friend bool operator==(const Event&, const Event&) = default;
};

void PrintTo(const Event& event, std::ostream* os) {
  *os << "type " << event.type << ", id " << event.id << ", strings "
      << ::testing::PrintToString(event.strings);
}

// A string as Wine's debug output quotes it: \\, \", \n, \r and \t, and
// \XXXX for any other character that is not printable ASCII.
std::string Unquote(const std::string& quoted) {
  std::string text;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '\\' || i + 1 == quoted.size()) {
      text += quoted[i];
      continue;
    }
    const char c = quoted[++i];
    if (c == 'n' || c == 'r' || c == 't') {
      text += c == 'n' ? '\n' : c == 'r' ? '\r' : '\t';
    } else if (std::isxdigit(static_cast<unsigned char>(c)) && i + 4 <= quoted.size()) {
      const unsigned long code = std::stoul(quoted.substr(i, 4), nullptr, 16);
      i += 3;
      if (code < 0x80) {
        text += static_cast<char>(code);
      } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | code >> 6);
        text += static_cast<char>(0x80 | (code & 0x3F));
      } else {
        text += static_cast<char>(0xE0 | code >> 12);
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
      }
    } else {
      text += c;
    }
  }
  return text;
}

// The events of a run, from its standard error under kEventTrace.
std::vector<Event> EventsOf(const std::string& err) {
  static const std::regex report(
      R"(^[0-9a-f]+:fixme:advapi:ReportEventW \([^,]*,0x([0-9a-f]+),0x[0-9a-f]+,0x([0-9a-f]+),[^,]*,0x([0-9a-f]+),.*)");
  static const std::regex quoted(
      R"re(^[0-9a-f]+:(trace|warn|err):eventlog:ReportEventW L"(.*)"$)re");
  const std::map<std::string, int> classes = {{"err", 1}, {"warn", 2}, {"trace", 4}};
  std::vector<Event> events;
  std::size_t strings_left = 0;
  std::istringstream lines(err);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, match, report)) {
      events.push_back({std::stoi(match[1], nullptr, 16),
                        static_cast<std::uint32_t>(std::stoul(match[2], nullptr, 16)),
                        {}});
      strings_left = std::stoul(match[3], nullptr, 16);
    } else if (strings_left > 0 && std::regex_match(line, match, quoted)) {
      EXPECT_EQ(classes.at(match[1]), events.back().type) << line;
      events.back().strings.push_back(Unquote(match[2]));
      --strings_left;
    }
  }
  return events;
}

// Whether event `id`'s message shows the Windows error's text beside its
// number.
bool ShowsErrorText(std::uint32_t id) {
  return id == 2 || id == 302;
}

// Whether event `id`'s message shows the files that the next start of
// Windows completes.
bool ShowsFilesAtRestart(std::uint32_t id) {
  return id == 1 || id == 16;
}

// An event's message as Event Viewer shows it.
std::string Message(std::uint32_t id, const std::vector<std::string>& strings) {
  const std::map<std::uint32_t, std::string> headlines = {
      {0, "The Quillon 2 management software was installed."},
      {1,
       "The Quillon 2 management software was installed. Older service registrations were "
       "removed, or files in use wait for the next start of Windows (they are named below): "
       "restart the server."},
      {2,
       "Installation failed: a file could not be copied. The failed copy and its Windows error are "
       "below: fix the cause, such as a directory where the file belongs, missing rights or a full "
       "disk, and run setup again. If the legacy service keys are -, the older software was left "
       "as it was; otherwise it may already have been removed."},
      {8,
       "The Quillon 2 adapter was not found, and nothing was installed. Check the adapter's USB "
       "connection, or leave this server out."},
      {16,
       "The Quillon 2 management software was installed, but the adapter has no working USB "
       "driver. Check the adapter's USB connection and configuration, and restart the server. "
       "Files in use that are named below are replaced at that restart."},
      {100,
       "Nothing was installed: the command line holds an invalid force code (an argument that "
       "begins with -F but not with -FU). The exit code is 0 all the same. Correct the command "
       "line to -FU, or leave the force code out, and run setup again."},
      {102,
       "Installation failed: the system directory could not be read. Nothing was changed: repair "
       "Windows before running setup again."},
      {202,
       "Installation failed: another run of setup kept the machine for twenty minutes. Nothing "
       "was changed: run setup again later."},
      {302,
       "Installation failed: the package directory could not be used. Nothing was changed. Its "
       "path cannot be written in the system's ANSI code page and the directory has no short name "
       "(Windows error 1113), or the path is longer than 255 characters (Windows error 206): copy "
       "the package to a directory with a short name in plain letters, such as "
       "C:\\Windows\\Temp\\qln2, and run setup from there."},
  };
  const char* const labels[] = {"Version",          "Exit code",   "Command line",
                                "Source directory", "Route",       "Legacy service keys",
                                "Failed copy",      "Copy target", "Windows error"};
  std::string text = headlines.at(id) + "\r\n\r\n";
  for (std::size_t i = 0; i < std::size(labels); ++i) {
    text += std::string(labels[i]) + ": " + strings.at(i);
    if (i + 1 == std::size(labels) && ShowsErrorText(id)) text += " " + strings.at(i + 1);
    text += "\r\n";
  }
  if (ShowsFilesAtRestart(id)) text += "Files at the next start: " + strings.at(10) + "\r\n";
  text += "Run lock: " + strings.at(11) + "\r\n";
  return text;
}

// The languages of the message table, each with its label of the exit code.
struct MessageLanguage {
  const char* id;
  const char* exit_code_label;
};
constexpr MessageLanguage kMessageLanguages[] = {
    {"0x0409", "Exit code:"},
    {"0x040C", "Code de sortie :"},
    {"0x0407", "Exitcode:"},
    {"0x0C0A", "C\u00F3digo de salida:"},
    {"0x0411", "\u7D42\u4E86\u30B3\u30FC\u30C9:"},
};

// The x64 fixture, as a 64-bit event viewer, with `args`.
RunResult Viewer(std::vector<std::string> args) {
  return RunWine(std::string(QSETUP_E2E_FIXTURE_ROOT) + "/x64/event_message.exe",
                 {.args = std::move(args)});
}

RunResult Render(std::uint32_t id, const std::vector<std::string>& strings) {
  std::vector<std::string> args = {"render", std::to_string(id)};
  args.insert(args.end(), strings.begin(), strings.end());
  return Viewer(args);
}

// The lines of `text`, without their line ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find("\r\n", at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Event `id`'s message in each language of `languages` (their ids, with
// commas between), by language id.
std::map<std::string, std::string> RenderIn(const std::string& languages, std::uint32_t id,
                                            const std::vector<std::string>& strings) {
  std::vector<std::string> args = {"render-in", languages, std::to_string(id)};
  args.insert(args.end(), strings.begin(), strings.end());
  const RunResult r = Viewer(args);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  std::map<std::string, std::string> texts;
  std::string* text = nullptr;
  for (const std::string& line : Lines(r.out)) {
    if (line.starts_with("language 0x")) {
      text = &texts[line.substr(std::size("language ") - 1)];
    } else if (text != nullptr) {
      *text += line + "\r\n";
    }
  }
  return texts;
}

// The package tree copied into a work directory, without `missing`.
std::string CopyOfPackage(const std::string& name, const std::string& missing = "") {
  const std::string dir = FreshWorkDir(name);
  fs::copy(PackageDir(), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  if (!missing.empty()) fs::remove(fs::path(dir) / missing);
  return dir;
}

class EventLog : public ::testing::Test {
 protected:
  void SetUp() override { CleanMachine(); }
  void TearDown() override { CleanMachine(); }

  // Runs the SETUP.EXE of `package` and returns the one event that it left.
  static Event Setup(const std::vector<std::string>& args, int exit_code,
                     const std::string& package = PackageDir()) {
    return EventOf(
        RunWine(package + "/SETUP.EXE", {.args = args, .env = {{"WINEDEBUG", kEventTrace}}}),
        exit_code);
  }

  // The one event of the run `r`, which ended with `exit_code`.
  static Event EventOf(const RunResult& r, int exit_code) {
    EXPECT_EQ(r.exit_code, exit_code) << r.out;
    const std::vector<Event> events = EventsOf(r.err);
    EXPECT_EQ(events.size(), 1u) << r.err;
    return events.empty() ? Event{} : events.front();
  }
};

// The message file as the event source names it: by the path under which
// 64-bit programs find it.
std::string StagedMessageFile() {
  return std::string(Arch() == "x86" ? "C:\\windows\\syswow64" : "C:\\windows\\system32") +
         "\\drivers\\qln2\\QLN2MSG-" QSETUP_PRODUCT_VERSION_TEXT ".DLL";
}

TEST_F(EventLog, EveryOutcomeLeavesItsEventAndTheMessageFileRendersIt) {
  const std::string package = WindowsPath(PackageDir());
  const std::string setup = package + "\\SETUP.EXE";
  const std::string staged = StagedMessageFile();
  std::vector<Event> events;

  // A fresh server without the adapter: nothing is staged, yet the source is
  // registered with the message file that a later run puts there.
  events.push_back(Setup({"/Q"}, 8));
  EXPECT_EQ(events.back(),
            (Event{2, 8, Facts("8", setup + " /Q", package + "\\", "hardware-id scan", "-")}));
  EXPECT_EQ(Viewer({"source"}).out,
            "EventMessageFile=REG_EXPAND_SZ " + staged + "\r\nTypesSupported=REG_DWORD 7\r\n");
  EXPECT_EQ(Render(8, events.back().strings).out, "cannot load " + staged + "\r\n");

  // The switches as typed, and nothing installed.
  events.push_back(Setup({"/q", "-fx"}, 0));
  EXPECT_EQ(events.back(),
            (Event{1, 100, Facts("0", setup + " /q -fx", package + "\\", "-", "-")}));

  // The first copy that failed: staging's, its source missing.
  const std::string incomplete = CopyOfPackage("events-without-library", "TELMXW.DLL");
  events.push_back(Setup({"-FU", "/Q"}, 2, incomplete));
  const std::string incomplete_win = WindowsPath(incomplete);
  EXPECT_EQ(
      events.back(),
      (Event{1, 2,
             Facts("2", incomplete_win + "\\SETUP.EXE -FU /Q", incomplete_win + "\\", "forced", "-",
                   incomplete_win + "\\\\TELMXW.DLL",
                   "C:\\windows\\system32\\drivers\\qln2\\TELMXW.DLL", "2", "File not found.")}));
  CleanMachine();

  InstallLegacySoftware();
  events.push_back(Setup({"-FU", "/Q"}, 1));
  EXPECT_EQ(
      events.back(),
      (Event{2, 1,
             Facts("1", setup + " -FU /Q", package + "\\", "forced", "removed by this run")}));
  // Until Windows starts again, every run reports the restart.
  events.push_back(Setup({"-FU", "/Q"}, 1));
  EXPECT_EQ(events.back(), (Event{2, 1,
                                  Facts("1", setup + " -FU /Q", package + "\\", "forced",
                                        "removed by an earlier run")}));
  // Windows started again: it took the volatile record away.
  RunWine(Fixture("restart_record"), {.args = {"remove"}});
  events.push_back(Setup({"-FU", "/Q"}, 0));
  EXPECT_EQ(events.back(),
            (Event{4, 0, Facts("0", setup + " -FU /Q", package + "\\", "forced", "none")}));
  {
    const RegisteredDevice adapter(InstanceId("EVENTS"), {"USB\\Vid_7a5c&Pid_4001"});
    events.push_back(Setup({"/Q"}, 16));
  }
  EXPECT_EQ(events.back(),
            (Event{2, 16, Facts("16", setup + " /Q", package + "\\", "hardware-id scan", "none")}));
  {
    // Another run that keeps the machine: a test build that gives up in
    // seconds.
    const Held other_run("hold_mutex", {"run"});
    const std::string quick = CopyOfPackage("events-quick-lock");
    CopyFile(Fixture("setup_quick_lock"), quick + "/SETUP.EXE");
    events.push_back(Setup({"-FU", "/Q"}, 2, quick));
    const std::string quick_win = WindowsPath(quick);
    EXPECT_EQ(
        events.back(),
        (Event{2, 202, Facts("2", quick_win + "\\SETUP.EXE -FU /Q", quick_win + "\\", "-", "-")}));
  }

  // Each event renders from the staged message file, the first one's too. A system
  // directory that cannot be used does not happen under Wine: its message
  // with the strings of a run that changed nothing either.
  EXPECT_EQ(Viewer({"source"}).out,
            "EventMessageFile=REG_EXPAND_SZ " + staged + "\r\nTypesSupported=REG_DWORD 7\r\n");
  {
    // A source directory longer than there is room for: nothing was done.
    const PackageInLongDirectory longer("events-longer-source", 256);
    events.push_back(EventOf(longer.Run({"-FU", "/Q"}, {{"WINEDEBUG", kEventTrace}}), 2));
    const std::string longer_win = longer.windows_dir();
    EXPECT_EQ(events.back(), (Event{1, 302,
                                    Facts("2", longer_win + "SETUP.EXE -FU /Q", longer_win, "-",
                                          "-", "-", "-", "206", "File name is too long.")}));
  }
  events.push_back({1, 102, events.back().strings});
  std::string languages;
  for (const MessageLanguage& language : kMessageLanguages) {
    languages += (languages.empty() ? "" : ",") + std::string(language.id);
  }
  for (const Event& event : events) {
    SCOPED_TRACE(event.id);
    // As the prefix's English user interface has it.
    const RunResult rendered = Render(event.id, event.strings);
    EXPECT_EQ(rendered.exit_code, 0);
    EXPECT_EQ(rendered.out, Message(event.id, event.strings));

    // In every language, each whole: its paragraph, a blank line, and each
    // fact on its line after the language's label (the error's text beside
    // its number), the exit code's label the language's own.
    const std::map<std::string, std::string> texts = RenderIn(languages, event.id, event.strings);
    for (const MessageLanguage& language : kMessageLanguages) {
      SCOPED_TRACE(language.id);
      const auto found = texts.find(language.id);
      ASSERT_NE(found, texts.end());
      const std::string& text = found->second;
      EXPECT_FALSE(std::regex_search(text, std::regex("%[0-9]"))) << text;
      const std::vector<std::string> lines = Lines(text);
      const std::size_t facts = 9;
      // The run lock's line closes every message.
      const std::size_t lines_of_facts = facts + (ShowsFilesAtRestart(event.id) ? 1 : 0) + 1;
      ASSERT_EQ(lines.size(), 2 + lines_of_facts) << text;
      EXPECT_NE(lines[0], "");
      EXPECT_EQ(lines[1], "");
      for (std::size_t i = 0; i < facts; ++i) {
        std::string value = event.strings.at(i);
        if (i + 1 == facts && ShowsErrorText(event.id)) {
          value += " " + event.strings.at(i + 1);
        }
        EXPECT_TRUE(lines[2 + i].ends_with(" " + value)) << lines[2 + i];
      }
      if (ShowsFilesAtRestart(event.id)) {
        EXPECT_TRUE(lines[2 + facts].ends_with(" " + event.strings.at(10))) << lines[2 + facts];
      }
      EXPECT_TRUE(lines.back().ends_with(" " + event.strings.at(11))) << lines.back();
      EXPECT_EQ(lines[3], language.exit_code_label + (" " + event.strings.at(1)));
    }
    EXPECT_EQ(texts.at("0x0409"), rendered.out);
  }
}

// A viewer holds the registered message file loaded, sharing it with readers
// alone, as Windows keeps a file that a program mapped: a repair runs as
// without it and leaves the file as it was, and its event renders.
TEST_F(EventLog, ARunEndsAsWithoutItWhileAViewerHoldsTheMessageFile) {
  const std::string package = WindowsPath(PackageDir());
  Setup({"-FU", "/Q"}, 0);
  const std::string staged = StagedMessageFile();
  ASSERT_EQ(Viewer({"source"}).out,
            "EventMessageFile=REG_EXPAND_SZ " + staged + "\r\nTypesSupported=REG_DWORD 7\r\n");
  const HeldFile viewer(staged, true);
  const Event event = Setup({"-FU", "/Q"}, 0);
  EXPECT_EQ(
      event,
      (Event{4, 0, Facts("0", package + "\\SETUP.EXE -FU /Q", package + "\\", "forced", "none")}));
  EXPECT_EQ(Render(event.id, event.strings).out, Message(event.id, event.strings));
}

}  // namespace
}  // namespace qsetup::e2e
