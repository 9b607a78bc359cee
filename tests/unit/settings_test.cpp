#include "driver/settings.h"
#include "driver/source_trace.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "fakes/fake_console_io.h"
#include "fakes/fake_platform.h"

namespace qsetup {
namespace {

using testing::FakeConsoleIo;
using testing::FakeSourceDirectoryOs;

struct Parsed {
  SwitchResult result;
  RunSettings settings;
  std::string out;
  std::vector<std::string> args;  // after upper-casing
};

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "c:\\pkg\\setup.exe");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  FakeConsoleIo io;
  Console console(io);
  Parsed p;
  p.result = ParseSwitches(static_cast<int>(argv.size()), argv.data(), p.settings, console);
  p.out = io.out;
  p.args = args;
  return p;
}

TEST(Switches, EachSwitchSetsItsFlags) {
  struct Case {
    std::vector<std::string> args;
    bool unattended, verbose, skip_hid;
  };
  const Case cases[] = {
      {{}, false, false, false},
      {{"/X"}, true, false, false},
      {{"-x"}, true, false, false},
      {{"/q"}, true, false, false},
      {{"-Q"}, true, false, false},
      {{"/D"}, false, true, false},
      {{"-d"}, false, true, false},
      {{"/H"}, true, false, true},
      {{"-h"}, true, false, true},
      {{"/D", "/Q"}, true, true, false},
      {{"/QX", "/Q:", "Q", "--Q", "/", "", "x"}, false, false, false},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(p.result, SwitchResult::kContinue);
    EXPECT_EQ(p.settings.unattended, c.unattended);
    EXPECT_EQ(p.settings.verbose, c.verbose);
    EXPECT_EQ(p.settings.skip_hid, c.skip_hid);
    EXPECT_EQ(p.settings.force_code, 0);
    EXPECT_EQ(p.out, "");
  }
}

TEST(Switches, ArgumentsAreUpperCasedInPlaceButTheCommandPathIsNot) {
  const Parsed p = Parse({"/q", "other\xE4x"});
  EXPECT_EQ(p.args[0], "c:\\pkg\\setup.exe");
  EXPECT_EQ(p.args[1], "/Q");
  EXPECT_EQ(p.args[2], "OTHER\xE4X");  // only a-z change
}

TEST(Switches, ForceCodeU) {
  for (const char* arg : {"-FU", "-fu", "-FUX", "-fuzzy"}) {
    const Parsed p = Parse({arg, "/D"});
    SCOPED_TRACE(arg);
    EXPECT_EQ(p.result, SwitchResult::kContinue);
    EXPECT_EQ(p.settings.force_code, 'U');
    EXPECT_TRUE(p.settings.verbose);
    EXPECT_EQ(p.out, "Skipping hardware detection - forcing Taskel.\r\n");
  }
}

TEST(Switches, InvalidForceCodeStopsAtOnce) {
  for (const char* arg : {"-F", "-f", "-FX", "-F U"}) {
    const Parsed p = Parse({"-FU", arg, "/Q"});
    SCOPED_TRACE(arg);
    EXPECT_EQ(p.result, SwitchResult::kInvalidForceCode);
    EXPECT_EQ(p.out,
              "Skipping hardware detection - forcing Taskel.\r\n"
              "Invalid force code!\r\n");
    EXPECT_FALSE(p.settings.unattended);  // arguments after it are not looked at
  }
  EXPECT_EQ(Parse({"/F"}).result, SwitchResult::kContinue);  // not -F: ignored
}

TEST(SourceDirectory, FromTheCommandPath) {
  // SETUP.EXE in C:\Пакет\Quillon, whose letters the ANSI code page lacks:
  // the command path holds "?" for each.
  const std::u16string cyrillic = u"C:\\\u041F\u0430\u043A\u0435\u0442\\Quillon\\SETUP.EXE";
  const ModulePath lossy = {cyrillic, false, "C:\\8D2B~1\\Quillon\\SETUP.EXE"};
  const std::string long_dir = "C:\\" + std::string(251, 'd') + "\\";  // 255 characters
  struct Case {
    std::string path;
    const char* current;
    std::string expected;
    // The program's own path; none: one that the code page holds.
    std::optional<ModulePath> module = std::nullopt;
    WinError error = kErrorSuccess;
    std::u16string windows_path = u"";
    bool names_program = true;  // the command path names the program's own file
  };
  const Case cases[] = {
      {"C:\\Pkg\\setup.exe", "C:\\", "C:\\Pkg\\"},
      {"setup", "C:\\", "."},
      {"SETUP.EXE", "C:\\", "."},
      {"\\Pkg\\setup.exe", "D:\\Work", "d:\\Pkg\\"},
      {"Pkg\\setup.exe", "D:\\Work", "Pkg\\"},
      {"C:setup.exe", "D:\\", "C:."},
      {"c:Pkg\\setup.exe", "D:\\", "c:Pkg\\"},
      {"C:/Pkg/setup.exe", "D:\\", "C:/Pkg/"},
      {"c:\\MiXeD\\Case\\SeTuP.ExE", "D:\\", "c:\\MiXeD\\Case\\"},
      {"Z:\\tmp\\pkg/x\\setup.exe", "D:\\", "Z:\\tmp\\pkg/x\\"},
      // A network path keeps its share and gets no drive letter.
      {"\\\\server\\share\\pkg\\setup.exe", "D:\\Work", "\\\\server\\share\\pkg\\"},
      // A rooted path while the current directory is itself on a share: the
      // path is left rooted on the current share.
      {"\\Pkg\\setup.exe", "\\\\server\\share\\dir", "\\Pkg\\"},
      {"\\Pkg\\setup.exe", "", "\\Pkg\\"},
      // The code page holds the program's own path: the command path, as it
      // is; and so when the program's path cannot be read.
      {"C:\\Soci\xE9t\xE9\\pkg\\setup.exe", "D:\\", "C:\\Soci\xE9t\xE9\\pkg\\",
       ModulePath{u"C:\\Soci\u00E9t\u00E9\\pkg\\SETUP.EXE", true, "C:\\SOCIT~1\\pkg\\SETUP.EXE"}},
      {"Pkg\\setup.exe", "D:\\Work", "Pkg\\", ModulePath{}},
      // It does not: the short form of the program's own path, however it
      // was started.
      {"C:\\?????\\Quillon\\setup.exe", "D:\\", "C:\\8D2B~1\\Quillon\\", lossy},
      // A bare name or a dot names the current directory, with no letters
      // to lose.
      {"setup", "C:\\?????\\Quillon", ".", ModulePath{cyrillic, false, ""}},
      {".\\setup.exe", "C:\\?????\\Quillon", ".\\", ModulePath{cyrillic, false, ""}},
      {"Quillon\\setup.exe", "C:\\?????", "C:\\8D2B~1\\Quillon\\", lossy},
      {"C:\\?????\\Quillon\\setup.exe", "D:\\", "", ModulePath{cyrillic, false, ""},
       kErrorNoUnicodeTranslation, u"C:\\\u041F\u0430\u043A\u0435\u0442\\Quillon\\"},
      // A command path that names another file (a launcher that named the
      // program apart from its command line): the program's own directory.
      {"SETUP.EXE", "C:\\Evil", "C:\\Pkg\\", std::nullopt, kErrorSuccess, u"", false},
      {"C:\\Evil\\setup.exe", "D:\\", "C:\\Pkg\\", std::nullopt, kErrorSuccess, u"", false},
      {"setup", "C:\\Evil", "C:\\8D2B~1\\Quillon\\", lossy, kErrorSuccess, u"", false},
      // The longest source directory, and one more character, which is kept
      // whole and not used: a shorter path would name another directory.
      {long_dir + "setup.exe", "D:\\", long_dir},
      {long_dir + "x\\setup.exe", "D:\\", long_dir + "x\\", std::nullopt, kErrorFilenameExcedRange},
      {"C:\\?????\\Quillon\\setup.exe", "D:\\", long_dir + "x\\",
       ModulePath{cyrillic, false, long_dir + "x\\SETUP.EXE"}, kErrorFilenameExcedRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FakeSourceDirectoryOs os;
    os.current_dir = c.current;
    if (c.module) os.module = *c.module;
    os.command_names_program = c.names_program;
    const SourceDirectory source = ChooseSourceDirectory(c.path.c_str(), os.module, os);
    EXPECT_EQ(source.path, c.expected);
    EXPECT_EQ(source.error, c.error);
    EXPECT_TRUE(source.windows_path == c.windows_path);
  }
}

TEST(SourceDirectory, PrintableTextOfAWindowsPath) {
  EXPECT_EQ(PrintableText(u"C:\\Pkg\\ ~"), "C:\\Pkg\\ ~");
  EXPECT_EQ(PrintableText(u"C:\\\u041F\u0430\\\u00E9\t\U0001F600"),
            "C:\\<U+041F><U+0430>\\<U+00E9><U+0009><U+1F600>");
}

TEST(SourceDirectory, TrailBytesOfDoubleByteCharactersAreNotSeparators) {
  FakeSourceDirectoryOs os;
  os.lead_low = 0x81;
  os.lead_high = 0x9F;
  // 0x95 0x5C is one double-byte character whose second byte is '\'.
  EXPECT_EQ(DeriveSourceDirectory("C:\\pkg\\\x95\x5Csetup.exe", os), "C:\\pkg\\");
  EXPECT_EQ(DeriveSourceDirectory("C:\\\x95\x5C\\setup.exe", os), "C:\\\x95\x5C\\");
  // Without the code page the same byte counts.
  FakeSourceDirectoryOs plain;
  EXPECT_EQ(DeriveSourceDirectory("C:\\pkg\\\x95\x5Csetup.exe", plain), "C:\\pkg\\\x95\x5C");
}

}  // namespace
}  // namespace qsetup
