// The insertion strings of a run's event, in the order that every event id
// has them.
#pragma once

#include <string>
#include <vector>

namespace qsetup::written {

// QSETUP_PRODUCT_VERSION_TEXT comes from the test's build.
inline std::vector<std::string> Facts(
    const std::string& exit_code, const std::string& command_line, const std::string& source_dir,
    const std::string& route, const std::string& legacy, const std::string& copy_source = "-",
    const std::string& copy_target = "-", const std::string& error = "-",
    const std::string& error_text = "-", const std::string& at_restart = "-",
    const std::string& run_lock = "-") {
  return {QSETUP_PRODUCT_VERSION_TEXT,
          exit_code,
          command_line,
          source_dir,
          route,
          legacy,
          copy_source,
          copy_target,
          error,
          error_text,
          at_restart,
          run_lock};
}

}  // namespace qsetup::written
