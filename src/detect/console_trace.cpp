#include "detect/console_trace.h"

namespace qsetup {

void ConsoleTrace::Line(const char* format, const char* text) {
  console_.PrintText(format, text);
}

void ConsoleTrace::Pause(const char* line) {
  TracePause(console_, true, line, kScanPausePrompt);
}

}  // namespace qsetup
