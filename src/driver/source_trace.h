// The source directory on the trace lines of a run (the verbose flag).
#pragma once

#include <string>
#include <string_view>

#include "console/console.h"
#include "rules/source_directory.h"

namespace qsetup {

// `text` for a trace line: printable ASCII as it is, every other character as
// "<U+XXXX>", which no file name holds.
std::string PrintableText(std::u16string_view text);

// Under the verbose flag, what makes `source` unusable: its path, and why,
// with a trace pause.
void TraceUnusableSourceDirectory(Console& console, bool verbose, const SourceDirectory& source);

}  // namespace qsetup
