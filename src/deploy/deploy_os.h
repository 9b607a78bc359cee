// The operating-system services that deploy needs.
#pragma once

namespace qsetup {

class DeployOs {
 public:
  virtual ~DeployOs() = default;
};

}  // namespace qsetup
