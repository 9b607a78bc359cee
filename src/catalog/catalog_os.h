// The operating-system services that the message catalog needs: the
// language, and files to read.
#pragma once

#include <cstdint>

#include "base/readable_file.h"

namespace qsetup {

class CatalogOs : public ReadableFileOs {
 public:
  // The system's (not the user's) default language id.
  virtual std::uint16_t SystemDefaultLangId() = 0;
};

}  // namespace qsetup
