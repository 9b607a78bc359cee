// The overwrite question.
#pragma once

#include <string>

#include "deploy/answer_words.h"
#include "deploy/deploy.h"

namespace qsetup {

// Prints `question` as it stands and reads answer lines from standard input
// until one gives an answer (MatchAnswer with the answer words of the message
// table). Returns kAnswerYes at once when `answer_yes` is set, and kAnswerNo
// when standard input ends.
int AskQuestion(const DeployContext& ctx, const char* question, bool answer_yes);

}  // namespace qsetup
