// Version stamps: "!@#$", up to 255 bytes of stamp text, "$#@!", somewhere
// in the first 100000 bytes of a deployed file. How the text is found and
// what its value is; the build's version check and the status report read
// stamps with this same code.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/readable_file.h"
#include "deploy/stamp_writer.h"

namespace qsetup {

inline constexpr std::size_t kStampBlockSize = 100000;  // bytes examined per file
inline constexpr std::size_t kStampTextMax = 255;       // longer texts are cut
inline constexpr char kStampStart[] = QSETUP_STAMP_START;
inline constexpr char kStampEnd[] = QSETUP_STAMP_END;

// Boyer-Moore-Horspool search for the NUL-terminated `pattern` in the first
// `length` bytes of `data`. Returns the first byte of the leftmost match;
// `data` itself for an empty pattern; null when there is no match or when
// `length` is shorter than the pattern, zero or negative.
const char* FindPattern(const char* pattern, const char* data, std::ptrdiff_t length);

// The stamp text of the `length` examined bytes at `block`: behind the first
// start marker, up to the first end marker before a NUL, cut to
// kStampTextMax. nullopt without a start marker; empty when no end marker
// follows it.
std::optional<std::string> StampTextIn(const char* block, std::size_t length);

// The stamp text of `file` (null: a file that could not be opened), from one
// read of at most kStampBlockSize bytes into `block`, which holds that many.
// nullopt when the read delivers no bytes or they hold no start marker.
// `length_read`, if given, receives the number of bytes read.
std::optional<std::string> ReadStampText(ReadableFilePtr file, char* block,
                                         std::size_t* length_read = nullptr);

// Orders two stamp texts by their values, as CompareVersionStamps orders
// files: -1 when the first is less, 0 when they are equal, 1 when it is
// greater.
int CompareStampValues(std::string_view first, std::string_view second);

}  // namespace qsetup
