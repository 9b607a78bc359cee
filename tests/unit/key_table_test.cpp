#include "console/key_table.h"

#include <gtest/gtest.h>

#include "console/console_io.h"

#include <utility>

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

// The BIOS keyboard interface's codes as rules, for every slot of both
// tables: nothing is left to a sample.
std::optional<ExtendedKey> BiosCode(std::uint16_t scan, int modifier, bool enhanced) {
  enum { kNone, kShift, kCtrl, kAlt };
  const auto std_code = [](int code) { return ExtendedKey{0, static_cast<std::uint8_t>(code)}; };
  const auto ext_code = [](int code) { return ExtendedKey{0xE0, static_cast<std::uint8_t>(code)}; };
  // The navigation keys of the keypad and of the separate block share their
  // Ctrl codes.
  const std::pair<std::uint16_t, int> ctrl_navigation[] = {
      {0x47, 0x77}, {0x48, 0x8D}, {0x49, 0x84}, {0x4B, 0x73}, {0x4D, 0x74},
      {0x4F, 0x75}, {0x50, 0x91}, {0x51, 0x76}, {0x52, 0x92}, {0x53, 0x93}};
  std::optional<int> ctrl_code;
  for (const auto& [key, code] : ctrl_navigation) {
    if (key == scan) ctrl_code = code;
  }

  if (enhanced) {
    if (ctrl_code) {  // the separate block: Alt gives the plain code plus 0x50
      if (modifier == kAlt) return std_code(scan + 0x50);
      return modifier == kCtrl ? ext_code(*ctrl_code) : ext_code(scan);
    }
    if (scan == 0x1C && modifier == kAlt) return std_code(0xA6);   // keypad Enter
    if (scan == 0x35 && modifier == kCtrl) return std_code(0x95);  // keypad /
    if (scan == 0x35 && modifier == kAlt) return std_code(0xA4);
    return std::nullopt;
  }
  if (scan >= 0x3B && scan <= 0x44) {  // F1 to F10
    const int offset[] = {0, 0x19, 0x23, 0x2D};
    return std_code(scan + offset[modifier]);
  }
  if (scan == 0x57 || scan == 0x58) return ext_code(0x85 + (scan - 0x57) + 2 * modifier);
  if (ctrl_code) {  // the keypad with Num Lock off; Alt composes a character
    if (modifier == kAlt) return std::nullopt;
    return modifier == kCtrl ? std_code(*ctrl_code) : std_code(scan);
  }
  if (scan == 0x4C) return modifier == kCtrl ? std::optional(std_code(0x8F)) : std::nullopt;
  if (scan == 0x37 || scan == 0x4A || scan == 0x4E) {  // keypad *, -, +
    if (modifier == kAlt) return std_code(scan);
    if (modifier == kCtrl) return std_code(scan == 0x37 ? 0x96 : scan == 0x4A ? 0x8E : 0x90);
    return std::nullopt;
  }
  const bool modifier_key = scan == 0x1D || scan == 0x2A || scan == 0x36;
  if (scan >= 0x01 && scan <= 0x35 && !modifier_key) {  // the main block
    if (scan == 0x0F) {                                 // Tab
      const int codes[] = {0, 0x0F, 0x94, 0xA5};
      if (modifier == kNone) return std::nullopt;
      return std_code(codes[modifier]);
    }
    if (modifier == kCtrl && scan == 0x03) return std_code(0x03);  // Ctrl+2 gives NUL
    if (modifier != kAlt) return std::nullopt;                     // a character
    // Alt+1 to Alt+= have codes of their own; every other key gives its scan
    // code, Alt+letter among them.
    return std_code(scan >= 0x02 && scan <= 0x0D ? scan + 0x76 : scan);
  }
  return std::nullopt;  // modifiers, locks, Space, SysRq and unused codes
}

TEST(ExtendedKeyTable, EverySlotFollowsTheBiosRules) {
  const std::uint32_t states[] = {0, kShiftPressed, kLeftCtrlPressed, kLeftAltPressed};
  for (std::uint16_t scan = 0; scan <= 0x58; ++scan) {
    for (int modifier = 0; modifier < 4; ++modifier) {
      for (const bool enhanced : {false, true}) {
        SCOPED_TRACE(::testing::Message() << "scan " << scan << " modifier " << modifier
                                          << (enhanced ? " enhanced" : ""));
        const std::optional<ExtendedKey> expected = BiosCode(scan, modifier, enhanced);
        const std::optional<ExtendedKey> key =
            TranslateExtendedKey(scan, states[modifier] | (enhanced ? kEnhancedKey : 0));
        ASSERT_EQ(key.has_value(), expected.has_value());
        if (!key) continue;
        EXPECT_EQ(key->lead, expected->lead);
        EXPECT_EQ(key->code, expected->code);
      }
    }
  }
}

}  // namespace
}  // namespace qsetup
