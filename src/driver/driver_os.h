// The operating-system services that the setup driver needs itself.
#pragma once

#include <string>

namespace qsetup {

class DriverOs {
 public:
  virtual ~DriverOs() = default;

  // The current directory; empty when it cannot be read.
  virtual std::string ReadCurrentDirectory() = 0;

  // True when `byte` leads a double-byte character in the system code page.
  virtual bool IsDbcsLeadByte(unsigned char byte) = 0;
};

}  // namespace qsetup
