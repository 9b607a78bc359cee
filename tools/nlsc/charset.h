// Converting the sources' UTF-8 text into the code page of a catalog or of
// the message file, with iconv.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qsetup::nlsc {

// Converts UTF-8 `text` into the iconv charset `charset`. On failure returns
// nullopt and says why in `problem`: text that is not UTF-8, or the first
// character that `charset` cannot hold.
std::optional<std::string> ToCharset(std::string_view text, const std::string& charset,
                                     std::string& problem);

}  // namespace qsetup::nlsc
