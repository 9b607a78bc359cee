// The operating-system services that detect needs.
#pragma once

namespace qsetup {

class DetectOs {
 public:
  virtual ~DetectOs() = default;
};

}  // namespace qsetup
