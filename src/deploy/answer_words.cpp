#include "deploy/answer_words.h"

#include "base/ascii.h"

namespace qsetup {

const char* SkipToGraphic(const char* text) {
  if (text == nullptr) return nullptr;
  for (; *text != '\0'; ++text) {
    const auto c = static_cast<unsigned char>(*text);
    if (c >= 0x21 && c <= 0x7E) return text;
  }
  return nullptr;
}

std::optional<AnswerCode> MatchAnswer(const char* line, const AnswerWords& words) {
  const char* answer = SkipToGraphic(line);
  if (answer == nullptr) return std::nullopt;
  const struct {
    const char* word;
    AnswerCode code;
  } kInOrder[] = {{words.cancel, kAnswerCancel}, {words.yes, kAnswerYes}, {words.no, kAnswerNo}};
  for (const auto& candidate : kInOrder) {
    if (StartsWithIgnoringAsciiCase(answer, candidate.word)) return candidate.code;
  }
  return std::nullopt;
}

}  // namespace qsetup
