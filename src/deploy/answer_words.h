// The answer words of the overwrite question and how a reply is matched
// against them. The catalog compiler checks every catalog's words with this
// same code, so what it accepts is what the installer understands.
#pragma once

#include <optional>

#include "catalog/messages.h"

namespace qsetup {

// Answer codes of the overwrite question.
enum AnswerCode : int {
  kAnswerCancel = 0,
  kAnswerYes = 1,
  kAnswerNo = 2,
};

// The three answer words of a message table.
struct AnswerWords {
  const char* no;
  const char* yes;
  const char* cancel;
};

inline AnswerWords AnswerWordsOf(const MessageTable& messages) {
  return {messages[kMsgAnswerNo], messages[kMsgAnswerYes], messages[kMsgAnswerCancel]};
}

// The first graphic character (0x21 to 0x7E) of the NUL-terminated `text`;
// null when `text` is null or has none.
const char* SkipToGraphic(const char* text);

// The answer that the reply `line` (NUL-terminated) gives: after its blanks
// and control characters, it must begin with an answer word, ASCII letters
// compared without regard to case; cancel, yes and no are tried in that
// order. nullopt when it gives none, and the question is asked again.
std::optional<AnswerCode> MatchAnswer(const char* line, const AnswerWords& words);

}  // namespace qsetup
