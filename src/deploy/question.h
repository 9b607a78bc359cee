// The overwrite question and its answer words.
#pragma once

#include <string>

#include "deploy/deploy.h"

namespace qsetup {

// Answer codes of AskQuestion.
enum AnswerCode : int {
  kAnswerCancel = 0,
  kAnswerYes = 1,
  kAnswerNo = 2,
};

// Prints `question` as it stands and reads answer lines from standard input
// until one begins, after blanks and control characters, with an answer word
// of the message table: cancel, yes and no are tried in that order, each over
// its own length and ignoring the case of ASCII letters. Returns kAnswerYes at
// once when `answer_yes` is set, and kAnswerNo when standard input ends.
int AskQuestion(const DeployContext& ctx, const std::string& question, bool answer_yes);

// The first graphic character (0x21 to 0x7E) of the NUL-terminated `text`;
// null when `text` is null or has none.
const char* SkipToGraphic(const char* text);

}  // namespace qsetup
