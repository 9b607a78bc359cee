// The operating-system services that the setup driver needs itself.
#pragma once

#include <cstdint>
#include <string>

namespace qsetup {

struct SystemDirectory {
  std::uint32_t length = 0;  // as GetSystemDirectoryA reports it; 0 on failure
  std::string path;          // set only when it fitted the buffer
};

class DriverOs {
 public:
  virtual ~DriverOs() = default;

  // The Windows system directory, read into a 520-byte buffer.
  virtual SystemDirectory ReadSystemDirectory() = 0;

  // The current directory; empty when it cannot be read.
  virtual std::string ReadCurrentDirectory() = 0;

  // True when `byte` leads a double-byte character in the system code page.
  virtual bool IsDbcsLeadByte(unsigned char byte) = 0;
};

}  // namespace qsetup
