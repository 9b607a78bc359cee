// The operating-system services that the message catalog needs.
#pragma once

#include <cstdint>
#include <string>

#include "base/readable_file.h"

namespace qsetup {

class CatalogOs {
 public:
  virtual ~CatalogOs() = default;

  // The system's (not the user's) default language id.
  virtual std::uint16_t SystemDefaultLangId() = 0;

  // Opens a file for reading; null when it is missing or cannot be read.
  virtual ReadableFilePtr OpenForReading(const std::string& path) = 0;
};

}  // namespace qsetup
