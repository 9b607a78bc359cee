// Version stamps: "!@#$", up to 255 bytes of stamp text, "$#@!", somewhere
// in the first 100000 bytes of a deployed file. A stamp's value is the
// decimal number that the digits of its text spell, in order.
#pragma once

#include <cstddef>
#include <string>

#include "deploy/deploy.h"

namespace qsetup {

inline constexpr std::size_t kStampBlockSize = 100000;  // bytes examined per file
inline constexpr std::size_t kStampTextMax = 255;       // longer texts are cut
inline constexpr char kStampStart[] = "!@#$";
inline constexpr char kStampEnd[] = "$#@!";

// Boyer-Moore-Horspool search for the NUL-terminated `pattern` in the first
// `length` bytes of `data`. Returns the first byte of the leftmost match;
// `data` itself for an empty pattern; null when there is no match or when
// `length` is shorter than the pattern, zero or negative.
const char* FindPattern(const char* pattern, const char* data, std::ptrdiff_t length);

// Compares the version stamps of two files, reading at most 100000 bytes of
// each with one read, the second file first. Returns 0 when both stamps are
// found and their values are equal, -1 when the first file's value is less,
// and 1 when it is greater or the comparison failed: a file that cannot be
// opened, is empty or has no start marker (silently), or no memory for the
// block (message 51). A start marker without an end marker is an empty
// stamp text, value 0.
int CompareVersionStamps(const DeployContext& ctx, const std::string& first_path,
                         const std::string& second_path);

}  // namespace qsetup
