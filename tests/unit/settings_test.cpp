#include "driver/settings.h"

#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_console_io.h"
#include "fakes/fake_platform.h"

namespace qsetup {
namespace {

using testing::FakeConsoleIo;
using testing::FakeDriverOs;

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
  struct Case {
    const char* path;
    const char* current;
    const char* expected;
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FakeDriverOs os;
    os.current_dir = c.current;
    EXPECT_EQ(DeriveSourceDirectory(c.path, os), c.expected);
  }
}

TEST(SourceDirectory, LongDirectoriesAreKeptWhole) {
  FakeDriverOs os;
  const std::string dir = "C:\\" + std::string(300, 'd') + "\\";
  EXPECT_EQ(DeriveSourceDirectory((dir + "setup.exe").c_str(), os), dir);
}

TEST(SourceDirectory, TrailBytesOfDoubleByteCharactersAreNotSeparators) {
  FakeDriverOs os;
  os.lead_low = 0x81;
  os.lead_high = 0x9F;
  // 0x95 0x5C is one double-byte character whose second byte is '\'.
  EXPECT_EQ(DeriveSourceDirectory("C:\\pkg\\\x95\x5Csetup.exe", os), "C:\\pkg\\");
  EXPECT_EQ(DeriveSourceDirectory("C:\\\x95\x5C\\setup.exe", os), "C:\\\x95\x5C\\");
  // Without the code page the same byte counts.
  FakeDriverOs plain;
  EXPECT_EQ(DeriveSourceDirectory("C:\\pkg\\\x95\x5Csetup.exe", plain), "C:\\pkg\\\x95\x5C");
}

}  // namespace
}  // namespace qsetup
