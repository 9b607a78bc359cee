#include "console/key_table.h"

#include <gtest/gtest.h>

#include "console/console_io.h"

namespace qsetup {
namespace {

struct KeyCase {
  const char* name;
  std::uint16_t scan;
  std::uint32_t state;
  int lead;
  int code;
};

TEST(ExtendedKeyTable, BiosCodesInEachModifierState) {
  const KeyCase cases[] = {
      {"F1", 0x3B, 0, 0, 59},
      {"Shift+F1", 0x3B, kShiftPressed, 0, 84},
      {"Ctrl+F1", 0x3B, kLeftCtrlPressed, 0, 94},
      {"Alt+F1", 0x3B, kLeftAltPressed, 0, 104},
      {"F10", 0x44, 0, 0, 68},
      {"Alt+F10", 0x44, kRightAltPressed, 0, 113},
      {"F11", 0x57, 0, 0xE0, 133},
      {"Shift+F11", 0x57, kShiftPressed, 0xE0, 135},
      {"Ctrl+F11", 0x57, kRightCtrlPressed, 0xE0, 137},
      {"Alt+F11", 0x57, kLeftAltPressed, 0xE0, 139},
      {"F12", 0x58, 0, 0xE0, 134},
      {"Up", 0x48, kEnhancedKey, 0xE0, 72},
      {"Shift+Up", 0x48, kEnhancedKey | kShiftPressed, 0xE0, 72},
      {"Ctrl+Up", 0x48, kEnhancedKey | kLeftCtrlPressed, 0xE0, 141},
      {"Alt+Up", 0x48, kEnhancedKey | kLeftAltPressed, 0, 152},
      {"Delete", 0x53, kEnhancedKey, 0xE0, 83},
      {"keypad Up", 0x48, 0, 0, 72},
      {"keypad Home", 0x47, 0, 0, 71},
      {"Shift+Tab", 0x0F, kShiftPressed, 0, 15},
      {"Alt+A", 0x1E, kLeftAltPressed, 0, 30},
      {"Ctrl+2", 0x03, kLeftCtrlPressed, 0, 3},
      {"Alt+keypad Enter", 0x1C, kEnhancedKey | kLeftAltPressed, 0, 0xA6},
      {"Ctrl+keypad /", 0x35, kEnhancedKey | kLeftCtrlPressed, 0, 0x95},
      // Alt wins over Ctrl, and Ctrl over Shift.
      {"Ctrl+Alt+F1", 0x3B, kLeftCtrlPressed | kLeftAltPressed, 0, 104},
      {"Shift+Ctrl+F1", 0x3B, kShiftPressed | kLeftCtrlPressed, 0, 94},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<ExtendedKey> key = TranslateExtendedKey(c.scan, c.state);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->lead, c.lead);
    EXPECT_EQ(key->code, c.code);
  }
}

TEST(ExtendedKeyTable, KeysThatDoNotEndAWait) {
  const KeyCase cases[] = {
      {"left Shift", 0x2A, kShiftPressed, 0, 0},
      {"right Shift", 0x36, kShiftPressed, 0, 0},
      {"Ctrl", 0x1D, kLeftCtrlPressed, 0, 0},
      {"Alt", 0x38, kLeftAltPressed, 0, 0},
      {"Caps Lock", 0x3A, 0, 0, 0},
      {"Num Lock", 0x45, 0, 0, 0},
      {"Scroll Lock", 0x46, 0, 0, 0},
      {"right Alt (enhanced, not in the block)", 0x38, kEnhancedKey | kRightAltPressed, 0, 0},
      {"right Ctrl", 0x1D, kEnhancedKey | kRightCtrlPressed, 0, 0},
      {"scan code 89", 0x59, 0, 0, 0},
      {"scan code 0xFFFF", 0xFFFF, 0, 0, 0},
      {"A without modifiers", 0x1E, 0, 0, 0},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(TranslateExtendedKey(c.scan, c.state).has_value());
  }
}

TEST(ExtendedKeyTable, EveryEntryHasAValidLead) {
  for (std::uint16_t scan = 0; scan <= 0x58; ++scan) {
    for (std::uint32_t state : {0u, kShiftPressed, kLeftCtrlPressed, kLeftAltPressed}) {
      for (std::uint32_t enhanced : {0u, kEnhancedKey}) {
        const auto key = TranslateExtendedKey(scan, state | enhanced);
        if (!key) continue;
        EXPECT_TRUE(key->lead == 0 || key->lead == 0xE0) << scan;
        EXPECT_NE(key->code, 0) << scan;
      }
    }
  }
}

}  // namespace
}  // namespace qsetup
