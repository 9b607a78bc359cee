#include "deploy/question.h"

#include <algorithm>
#include <optional>

namespace qsetup {

void QuestionText::Append(std::string_view piece) {
  const std::size_t n = std::min(piece.size(), kMax - length_);
  piece.copy(text_.data() + length_, n);
  length_ += n;
}

void QuestionText::AppendBlanks(std::size_t count) {
  const std::size_t n = std::min(count, kMax - length_);
  std::fill_n(text_.data() + length_, n, ' ');
  length_ += n;
}

int AskQuestion(const DeployContext& ctx, const char* question, bool answer_yes) {
  if (answer_yes) return kAnswerYes;
  const AnswerWords words = AnswerWordsOf(ctx.messages);
  AnswerLine line{};
  for (;;) {
    ctx.console.PrintText("%s", question);
    // No line can ever come again: keep what is there.
    if (!ctx.console.ReadAnswerLine(line)) return kAnswerNo;
    if (const std::optional<AnswerCode> answer = MatchAnswer(line.data(), words)) return *answer;
  }
}

}  // namespace qsetup
