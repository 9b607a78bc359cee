// Translation of key presses that bring no character into the two-value
// extended key codes of the PC BIOS keyboard interface.
#pragma once

#include <cstdint>
#include <optional>

namespace qsetup {

struct ExtendedKey {
  std::uint8_t lead;  // 0 or 0xE0
  std::uint8_t code;
};

// Looks up a key press without a character by its scan code and the
// console's control-key state. nullopt for keys that do not end a key wait:
// modifier and lock keys, unknown scan codes, and combinations that have no
// BIOS code.
std::optional<ExtendedKey> TranslateExtendedKey(std::uint16_t scan_code,
                                                std::uint32_t control_state);

}  // namespace qsetup
