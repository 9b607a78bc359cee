// The operating-system services that replace needs.
#pragma once

namespace qsetup {

class ReplaceOs {
 public:
  virtual ~ReplaceOs() = default;
};

}  // namespace qsetup
