// Fault injection for the fakes: counts the operating-system operations of a
// run, and fails the one at a chosen position, the way SQLite's I/O-error
// tests fail every call in turn. A fake that was handed a plan asks it at
// the start of each operation that can fail, and fails that operation as the
// real call would.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qsetup::testing {

// Thrown at the operation where a plan ends the run, as a process that is
// killed ends: no later operation happens.
struct Killed {};

class FaultPlan {
 public:
  // Records the name of every operation asked about (for the first run of a
  // scenario, which fails nothing).
  bool record = false;
  std::vector<std::string> operations;

  // Fails the `position`-th operation (1-based); 0 fails none.
  void FailAt(std::size_t position) { fail_at_ = position; }

  // Ends the run at the `position`-th operation (1-based), before it is
  // made; 0 ends none.
  void KillAt(std::size_t position) { kill_at_ = position; }

  // Counts the operation; true when it is the one to fail. `subject` names
  // what it works on (a path, a key), for the invariants that allow for it.
  bool Fail(std::string_view operation, std::string_view subject = {}) {
    ++count_;
    if (record) operations.emplace_back(operation);
    if (count_ == kill_at_) throw Killed{};
    if (count_ != fail_at_) return false;
    failed_operation_ = operation;
    failed_subject_ = subject;
    return true;
  }

  // Counts an operation that can neither fail nor be interrupted (a
  // release), for tests of the order of operations.
  void Note(std::string_view operation) {
    ++count_;
    if (record) operations.emplace_back(operation);
    notes.insert(count_);
  }
  std::set<std::size_t> notes;  // the positions of such operations

  std::size_t count() const { return count_; }
  const std::string& failed_operation() const { return failed_operation_; }
  const std::string& failed_subject() const { return failed_subject_; }

 private:
  std::size_t fail_at_ = 0;
  std::size_t kill_at_ = 0;
  std::size_t count_ = 0;
  std::string failed_operation_;
  std::string failed_subject_;
};

// For fakes that may have no plan.
inline bool Fails(FaultPlan* plan, std::string_view operation, std::string_view subject = {}) {
  return plan != nullptr && plan->Fail(operation, subject);
}

}  // namespace qsetup::testing
