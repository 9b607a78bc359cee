// The message table: 81 texts named by message number. Texts are formats
// (see FormatText) and carry their own line ends.
#pragma once

#include <cstddef>

namespace qsetup {

inline constexpr int kMessageCount = 81;

// Message numbers that the program prints or matches. Catalog files share
// this numbering, so these values never change.
enum MessageId : int {
  kMsgAnswerNo = 0,
  kMsgAnswerYes = 1,
  kMsgAnswerCancel = 2,
  kMsgBanner = 8,
  kMsgInstallComplete = 13,
  kMsgInstallFailed = 28,
  kMsgRebootNeeded = 32,
  kMsgPressAnyKey = 33,
  kMsgNoMemory = 51,
  kMsgSourceOlder = 52,
  kMsgCopyAnyway = 54,
  kMsgDeviceNotFound = 70,
  kMsgDeviceNotWorking = 72,
};

// A view of a table of at least kMessageCount texts, none of them null.
class MessageTable {
 public:
  explicit MessageTable(const char* const* texts) : texts_(texts) {}
  const char* operator[](MessageId id) const { return texts_[id]; }
  const char* Text(int number) const { return texts_[number]; }
  const char* const* data() const { return texts_; }

 private:
  const char* const* texts_;
};

// The English texts compiled into the program; in force when no catalog
// file could be loaded.
const char* const* BuiltinMessages();

}  // namespace qsetup
