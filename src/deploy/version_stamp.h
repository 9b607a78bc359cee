// The comparison of two files' version stamps (see stamp_text.h). A stamp's
// value is the decimal number that the digits of its text spell, in order.
#pragma once

#include <string>

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

}  // namespace qsetup
