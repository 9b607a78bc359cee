#include "console/console.h"

#include <gtest/gtest.h>

#include "fakes/fake_console_io.h"

namespace qsetup {
namespace {

using testing::FakeConsoleIo;

class ConsoleTest : public ::testing::Test {
 protected:
  FakeConsoleIo io;
  Console console{io};
  AnswerLine line{};

  std::string ReadLine() {
    if (!console.ReadAnswerLine(line)) return "<none>";
    return line.data();
  }
};

TEST_F(ConsoleTest, OutputIsATextStream) {
  console.PrintText("Orvane Quillon 2 software installation\n\r");
  console.PrintText("\nInstallation failed\n");
  console.PrintText("Press any key to exit.");
  EXPECT_EQ(io.out,
            "Orvane Quillon 2 software installation\r\n\r"
            "\r\nInstallation failed\r\n"
            "Press any key to exit.");
}

TEST_F(ConsoleTest, OutputFormatsStringArguments) {
  const int n = console.PrintText("%s is older than %s.\n", "C:\\a", "C:\\b");
  EXPECT_EQ(io.out, "C:\\a is older than C:\\b.\r\n");
  EXPECT_EQ(n, 25);
}

TEST_F(ConsoleTest, AnswerLinesFoldCrLfAndKeepLoneCr) {
  io.in = "y\r\nno\n\r\n a\rb\r\n";
  EXPECT_EQ(ReadLine(), "y");
  EXPECT_EQ(ReadLine(), "no");
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(ReadLine(), " a\rb");
  EXPECT_EQ(ReadLine(), "<none>");
}

TEST_F(ConsoleTest, CrLfSplitAcrossReadsStillFolds) {
  io.in = "yes\r\nno\r";
  io.max_read = 1;
  EXPECT_EQ(ReadLine(), "yes");
  EXPECT_EQ(ReadLine(), "no\r");  // a CR at the very end stays
  EXPECT_EQ(ReadLine(), "<none>");
}

TEST_F(ConsoleTest, LastLineWithoutLineFeedIsALine) {
  io.in = "cancel";
  EXPECT_EQ(ReadLine(), "cancel");
  EXPECT_EQ(ReadLine(), "<none>");
}

TEST_F(ConsoleTest, EndOfInputLeavesTheBufferAndStaysEnded) {
  io.in = "first\n";
  EXPECT_EQ(ReadLine(), "first");
  EXPECT_FALSE(console.ReadAnswerLine(line));
  EXPECT_STREQ(line.data(), "first");
  const int reads = io.in_reads;
  io.in = "late\n";  // data that shows up after the end is never read
  EXPECT_FALSE(console.ReadAnswerLine(line));
  EXPECT_EQ(io.in_reads, reads);
}

TEST_F(ConsoleTest, CtrlZEndsTheInput) {
  io.in = std::string("y\nn\x1Ay\n", 6);
  EXPECT_EQ(ReadLine(), "y");
  EXPECT_EQ(ReadLine(), "n");
  EXPECT_EQ(ReadLine(), "<none>");
}

TEST_F(ConsoleTest, LongLinesAreCutAndTheirRestDropped) {
  io.in = std::string(1023, 'a') + "\n" + std::string(5000, 'b') + "\ny\n";
  EXPECT_EQ(ReadLine(), std::string(1023, 'a'));
  EXPECT_EQ(ReadLine(), std::string(1023, 'b'));
  EXPECT_EQ(ReadLine(), "y");
}

TEST_F(ConsoleTest, KeyWaitReturnsTheCharacterOfAKeyPress) {
  io.ReleaseKey(0x1E);
  io.OtherEvent();
  io.PressKey(0x2A, kShiftPressed);  // Shift alone does not end the wait
  io.PressChar(3);                   // Ctrl+C is an ordinary key
  EXPECT_EQ(console.WaitForKey(), 3);
  EXPECT_TRUE(io.keys.empty());
}

TEST_F(ConsoleTest, KeyWaitRunsInModeZeroAndRestoresTheMode) {
  io.PressChar('x');
  EXPECT_EQ(console.WaitForKey(), 'x');
  ASSERT_EQ(io.modes_while_reading.size(), 1u);
  EXPECT_EQ(io.modes_while_reading[0], 0u);
  EXPECT_EQ(io.mode, 0x1F7u);

  // A failing read restores the mode too.
  EXPECT_EQ(console.WaitForKey(), -1);
  EXPECT_EQ(io.mode, 0x1F7u);
}

TEST_F(ConsoleTest, TwoValueKeyLeavesItsCodePending) {
  io.PressKey(0x48, kEnhancedKey);  // Up arrow of the separate block
  EXPECT_EQ(console.WaitForKey(), 0xE0);
  const std::size_t reads = io.modes_while_reading.size();
  EXPECT_EQ(console.WaitForKey(), 72);
  EXPECT_EQ(io.modes_while_reading.size(), reads);  // answered without reading
  io.PressChar('q');
  EXPECT_EQ(console.WaitForKey(), 'q');
}

TEST_F(ConsoleTest, NoConsoleMeansEveryWaitEndsAtOnce) {
  io.has_console = false;
  EXPECT_EQ(console.WaitForKey(), -1);
  EXPECT_EQ(console.WaitForKey(), -1);
  EXPECT_EQ(io.open_calls, 1);  // not tried again
}

TEST_F(ConsoleTest, TracePauseOnlyUnderTheVerboseFlag) {
  io.PressChar('\r');
  TracePause(console, false, "Main - loadlangtbl failed.\n", kDriverPausePrompt);
  EXPECT_EQ(io.out, "");
  EXPECT_EQ(io.open_calls, 0);

  TracePause(console, true, "Main - loadlangtbl failed.\n", kDriverPausePrompt);
  EXPECT_EQ(io.out, "Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n");
  EXPECT_TRUE(io.keys.empty());
}

}  // namespace
}  // namespace qsetup
