#include "console/key_table.h"

#include <array>

#include "console/console_io.h"

namespace qsetup {
namespace {

enum Modifier { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 3 };

struct KeyRow {
  ExtendedKey by_modifier[4];  // none, Shift, Ctrl, Alt
};

constexpr ExtendedKey kEmpty{0, 0};
constexpr ExtendedKey Std(std::uint8_t code) {
  return {0x00, code};
}
constexpr ExtendedKey Ext(std::uint8_t code) {
  return {0xE0, code};
}

// Indexed by scan code 0x00 to 0x58. Keys that bring a character in a
// modifier state never reach the table in that state, so those slots are
// empty.
constexpr std::array<KeyRow, 0x59> kScanTable = {{
    /* 0x00 */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x01 Esc */ {{kEmpty, kEmpty, kEmpty, Std(0x01)}},
    /* 0x02 1 */ {{kEmpty, kEmpty, kEmpty, Std(0x78)}},
    /* 0x03 2 */ {{kEmpty, kEmpty, Std(0x03), Std(0x79)}},
    /* 0x04 3 */ {{kEmpty, kEmpty, kEmpty, Std(0x7A)}},
    /* 0x05 4 */ {{kEmpty, kEmpty, kEmpty, Std(0x7B)}},
    /* 0x06 5 */ {{kEmpty, kEmpty, kEmpty, Std(0x7C)}},
    /* 0x07 6 */ {{kEmpty, kEmpty, kEmpty, Std(0x7D)}},
    /* 0x08 7 */ {{kEmpty, kEmpty, kEmpty, Std(0x7E)}},
    /* 0x09 8 */ {{kEmpty, kEmpty, kEmpty, Std(0x7F)}},
    /* 0x0A 9 */ {{kEmpty, kEmpty, kEmpty, Std(0x80)}},
    /* 0x0B 0 */ {{kEmpty, kEmpty, kEmpty, Std(0x81)}},
    /* 0x0C - */ {{kEmpty, kEmpty, kEmpty, Std(0x82)}},
    /* 0x0D = */ {{kEmpty, kEmpty, kEmpty, Std(0x83)}},
    /* 0x0E Backspace */ {{kEmpty, kEmpty, kEmpty, Std(0x0E)}},
    /* 0x0F Tab */ {{kEmpty, Std(0x0F), Std(0x94), Std(0xA5)}},
    /* 0x10 Q */ {{kEmpty, kEmpty, kEmpty, Std(0x10)}},
    /* 0x11 W */ {{kEmpty, kEmpty, kEmpty, Std(0x11)}},
    /* 0x12 E */ {{kEmpty, kEmpty, kEmpty, Std(0x12)}},
    /* 0x13 R */ {{kEmpty, kEmpty, kEmpty, Std(0x13)}},
    /* 0x14 T */ {{kEmpty, kEmpty, kEmpty, Std(0x14)}},
    /* 0x15 Y */ {{kEmpty, kEmpty, kEmpty, Std(0x15)}},
    /* 0x16 U */ {{kEmpty, kEmpty, kEmpty, Std(0x16)}},
    /* 0x17 I */ {{kEmpty, kEmpty, kEmpty, Std(0x17)}},
    /* 0x18 O */ {{kEmpty, kEmpty, kEmpty, Std(0x18)}},
    /* 0x19 P */ {{kEmpty, kEmpty, kEmpty, Std(0x19)}},
    /* 0x1A [ */ {{kEmpty, kEmpty, kEmpty, Std(0x1A)}},
    /* 0x1B ] */ {{kEmpty, kEmpty, kEmpty, Std(0x1B)}},
    /* 0x1C Enter */ {{kEmpty, kEmpty, kEmpty, Std(0x1C)}},
    /* 0x1D Ctrl */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x1E A */ {{kEmpty, kEmpty, kEmpty, Std(0x1E)}},
    /* 0x1F S */ {{kEmpty, kEmpty, kEmpty, Std(0x1F)}},
    /* 0x20 D */ {{kEmpty, kEmpty, kEmpty, Std(0x20)}},
    /* 0x21 F */ {{kEmpty, kEmpty, kEmpty, Std(0x21)}},
    /* 0x22 G */ {{kEmpty, kEmpty, kEmpty, Std(0x22)}},
    /* 0x23 H */ {{kEmpty, kEmpty, kEmpty, Std(0x23)}},
    /* 0x24 J */ {{kEmpty, kEmpty, kEmpty, Std(0x24)}},
    /* 0x25 K */ {{kEmpty, kEmpty, kEmpty, Std(0x25)}},
    /* 0x26 L */ {{kEmpty, kEmpty, kEmpty, Std(0x26)}},
    /* 0x27 ; */ {{kEmpty, kEmpty, kEmpty, Std(0x27)}},
    /* 0x28 ' */ {{kEmpty, kEmpty, kEmpty, Std(0x28)}},
    /* 0x29 ` */ {{kEmpty, kEmpty, kEmpty, Std(0x29)}},
    /* 0x2A left Shift */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x2B \ */ {{kEmpty, kEmpty, kEmpty, Std(0x2B)}},
    /* 0x2C Z */ {{kEmpty, kEmpty, kEmpty, Std(0x2C)}},
    /* 0x2D X */ {{kEmpty, kEmpty, kEmpty, Std(0x2D)}},
    /* 0x2E C */ {{kEmpty, kEmpty, kEmpty, Std(0x2E)}},
    /* 0x2F V */ {{kEmpty, kEmpty, kEmpty, Std(0x2F)}},
    /* 0x30 B */ {{kEmpty, kEmpty, kEmpty, Std(0x30)}},
    /* 0x31 N */ {{kEmpty, kEmpty, kEmpty, Std(0x31)}},
    /* 0x32 M */ {{kEmpty, kEmpty, kEmpty, Std(0x32)}},
    /* 0x33 , */ {{kEmpty, kEmpty, kEmpty, Std(0x33)}},
    /* 0x34 . */ {{kEmpty, kEmpty, kEmpty, Std(0x34)}},
    /* 0x35 / */ {{kEmpty, kEmpty, kEmpty, Std(0x35)}},
    /* 0x36 right Shift */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x37 keypad * */ {{kEmpty, kEmpty, Std(0x96), Std(0x37)}},
    /* 0x38 Alt */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x39 Space */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x3A Caps Lock */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x3B F1 */ {{Std(0x3B), Std(0x54), Std(0x5E), Std(0x68)}},
    /* 0x3C F2 */ {{Std(0x3C), Std(0x55), Std(0x5F), Std(0x69)}},
    /* 0x3D F3 */ {{Std(0x3D), Std(0x56), Std(0x60), Std(0x6A)}},
    /* 0x3E F4 */ {{Std(0x3E), Std(0x57), Std(0x61), Std(0x6B)}},
    /* 0x3F F5 */ {{Std(0x3F), Std(0x58), Std(0x62), Std(0x6C)}},
    /* 0x40 F6 */ {{Std(0x40), Std(0x59), Std(0x63), Std(0x6D)}},
    /* 0x41 F7 */ {{Std(0x41), Std(0x5A), Std(0x64), Std(0x6E)}},
    /* 0x42 F8 */ {{Std(0x42), Std(0x5B), Std(0x65), Std(0x6F)}},
    /* 0x43 F9 */ {{Std(0x43), Std(0x5C), Std(0x66), Std(0x70)}},
    /* 0x44 F10 */ {{Std(0x44), Std(0x5D), Std(0x67), Std(0x71)}},
    /* 0x45 Num Lock */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x46 Scroll Lock */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    // The keypad with Num Lock off. With Alt held these keys compose a
    // character code, so they have no Alt code.
    /* 0x47 keypad Home */ {{Std(0x47), Std(0x47), Std(0x77), kEmpty}},
    /* 0x48 keypad Up */ {{Std(0x48), Std(0x48), Std(0x8D), kEmpty}},
    /* 0x49 keypad PgUp */ {{Std(0x49), Std(0x49), Std(0x84), kEmpty}},
    /* 0x4A keypad - */ {{kEmpty, kEmpty, Std(0x8E), Std(0x4A)}},
    /* 0x4B keypad Left */ {{Std(0x4B), Std(0x4B), Std(0x73), kEmpty}},
    /* 0x4C keypad 5 */ {{kEmpty, kEmpty, Std(0x8F), kEmpty}},
    /* 0x4D keypad Right */ {{Std(0x4D), Std(0x4D), Std(0x74), kEmpty}},
    /* 0x4E keypad + */ {{kEmpty, kEmpty, Std(0x90), Std(0x4E)}},
    /* 0x4F keypad End */ {{Std(0x4F), Std(0x4F), Std(0x75), kEmpty}},
    /* 0x50 keypad Down */ {{Std(0x50), Std(0x50), Std(0x91), kEmpty}},
    /* 0x51 keypad PgDn */ {{Std(0x51), Std(0x51), Std(0x76), kEmpty}},
    /* 0x52 keypad Ins */ {{Std(0x52), Std(0x52), Std(0x92), kEmpty}},
    /* 0x53 keypad Del */ {{Std(0x53), Std(0x53), Std(0x93), kEmpty}},
    /* 0x54 SysRq */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x55 */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x56 102nd key */ {{kEmpty, kEmpty, kEmpty, kEmpty}},
    /* 0x57 F11 */ {{Ext(0x85), Ext(0x87), Ext(0x89), Ext(0x8B)}},
    /* 0x58 F12 */ {{Ext(0x86), Ext(0x88), Ext(0x8A), Ext(0x8C)}},
}};

struct EnhancedRow {
  std::uint16_t scan_code;
  KeyRow row;
};

// The separate editing and arrow block, keypad Enter and keypad slash. With
// Alt they give the plain code plus 0x50, the way the BIOS reports them.
constexpr std::array<EnhancedRow, 12> kEnhancedTable = {{
    {0x52, {{Ext(0x52), Ext(0x52), Ext(0x92), Std(0xA2)}}},  // Insert
    {0x53, {{Ext(0x53), Ext(0x53), Ext(0x93), Std(0xA3)}}},  // Delete
    {0x47, {{Ext(0x47), Ext(0x47), Ext(0x77), Std(0x97)}}},  // Home
    {0x4F, {{Ext(0x4F), Ext(0x4F), Ext(0x75), Std(0x9F)}}},  // End
    {0x49, {{Ext(0x49), Ext(0x49), Ext(0x84), Std(0x99)}}},  // Page Up
    {0x51, {{Ext(0x51), Ext(0x51), Ext(0x76), Std(0xA1)}}},  // Page Down
    {0x48, {{Ext(0x48), Ext(0x48), Ext(0x8D), Std(0x98)}}},  // Up
    {0x4B, {{Ext(0x4B), Ext(0x4B), Ext(0x73), Std(0x9B)}}},  // Left
    {0x4D, {{Ext(0x4D), Ext(0x4D), Ext(0x74), Std(0x9D)}}},  // Right
    {0x50, {{Ext(0x50), Ext(0x50), Ext(0x91), Std(0xA0)}}},  // Down
    {0x1C, {{kEmpty, kEmpty, kEmpty, Std(0xA6)}}},           // keypad Enter
    {0x35, {{kEmpty, kEmpty, Std(0x95), Std(0xA4)}}},        // keypad /
}};

Modifier ModifierOf(std::uint32_t state) {
  if (state & (kLeftAltPressed | kRightAltPressed)) return kAlt;
  if (state & (kLeftCtrlPressed | kRightCtrlPressed)) return kCtrl;
  if (state & kShiftPressed) return kShift;
  return kNone;
}

std::optional<ExtendedKey> Usable(ExtendedKey key) {
  if ((key.lead == 0x00 || key.lead == 0xE0) && key.code != 0) return key;
  return std::nullopt;
}

}  // namespace

std::optional<ExtendedKey> TranslateExtendedKey(std::uint16_t scan_code,
                                                std::uint32_t control_state) {
  const Modifier modifier = ModifierOf(control_state);
  if (control_state & kEnhancedKey) {
    for (const EnhancedRow& entry : kEnhancedTable) {
      if (entry.scan_code == scan_code) return Usable(entry.row.by_modifier[modifier]);
    }
    return std::nullopt;  // right Alt, right Ctrl and the like
  }
  if (scan_code >= kScanTable.size()) return std::nullopt;
  return Usable(kScanTable[scan_code].by_modifier[modifier]);
}

}  // namespace qsetup
