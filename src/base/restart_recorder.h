// The restart record as a step that leaves work for the next start of
// Windows asks for it.
#pragma once

namespace qsetup {

class RestartRecorder {
 public:
  virtual ~RestartRecorder() = default;

  // Makes sure that the record is there, and keeps it; false when it cannot
  // be made.
  virtual bool Require() = 0;
};

}  // namespace qsetup
