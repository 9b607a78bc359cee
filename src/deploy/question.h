// The overwrite question.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "console/format.h"
#include "deploy/answer_words.h"
#include "deploy/deploy.h"

namespace qsetup {

// The text of a question, formatted once into a buffer of its own: at most
// kMax bytes, and a longer message is cut.
class QuestionText final : public TextSink {
 public:
  static constexpr std::size_t kMax = 255;

  void Append(std::string_view piece) override;
  void AppendBlanks(std::size_t count) override;
  const char* c_str() {
    text_[length_] = '\0';
    return text_.data();
  }

 private:
  std::array<char, kMax + 1> text_;
  std::size_t length_ = 0;
};

// Prints `question` as it stands and reads answer lines from standard input
// until one gives an answer (MatchAnswer with the answer words of the message
// table). Returns kAnswerYes at once when `answer_yes` is set, and kAnswerNo
// when standard input ends.
int AskQuestion(const DeployContext& ctx, const char* question, bool answer_yes);

}  // namespace qsetup
