// The comparison of two files' version stamps (see stamp_text.h). A stamp's
// value is the decimal number that the digits of its text spell, in order.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/readable_file.h"
#include "deploy/deploy.h"
#include "deploy/stamp_text.h"

namespace qsetup {

// Compares the version stamps of two files, reading at most 100000 bytes of
// each with one read, the second file first. Returns 0 when both stamps are
// found and their values are equal, -1 when the first file's value is less,
// and 1 when it is greater or the comparison failed: a file that cannot be
// opened, is empty or has no start marker (silently), or no memory for the
// block (message 51). A start marker without an end marker is an empty
// stamp text, value 0.
int CompareVersionStamps(const DeployContext& ctx, const std::string& first_path,
                         const std::string& second_path);

// The stamp text of `file` (null: a file that could not be opened), from one
// read of at most kStampBlockSize bytes into `block`, which holds that many.
// nullopt when the read delivers no bytes or they hold no start marker.
std::optional<std::string> ReadStampText(ReadableFilePtr file, char* block);

// Orders two stamp texts by their values, as CompareVersionStamps orders
// files: -1 when the first is less, 0 when they are equal, 1 when it is
// greater.
int CompareStampValues(std::string_view first, std::string_view second);

}  // namespace qsetup
