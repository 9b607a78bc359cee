// The hardware-id scan's trace on the console: a file of its own, which only
// a program that traces links.
#pragma once

#include "console/console.h"
#include "detect/detect.h"

namespace qsetup {

class ConsoleTrace final : public DetectTrace {
 public:
  explicit ConsoleTrace(Console& console) : console_(console) {}

  void Line(const char* format, const char* text) override;
  void Pause(const char* line) override;

 private:
  Console& console_;
};

}  // namespace qsetup
