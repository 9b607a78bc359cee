#include "event_compiler.h"

#include <algorithm>
#include <charconv>
#include <compare>
#include <cstdio>
#include <map>

#include "charset.h"
#include "driver/event_messages.h"
#include "po_file.h"

namespace qsetup::nlsc {
namespace {

// What an entry translates: an event's text, or the label of a fact.
struct TextKey {
  bool label = false;
  std::uint32_t number = 0;  // the event id, or the fact's insertion number
  auto operator<=>(const TextKey&) const = default;
};

TextKey TextOf(EventId id) {
  return {false, id};
}

TextKey LabelOf(EventFact fact) {
  return {true, static_cast<std::uint32_t>(fact)};
}

using Texts = std::map<TextKey, std::string>;

std::string NameOf(TextKey key) {
  return std::string(key.label ? kEventFactContext : kEventContext) + std::to_string(key.number);
}

std::optional<TextKey> KeyOf(std::string_view context) {
  TextKey key;
  key.label = context.starts_with(kEventFactContext);
  context.remove_prefix(key.label ? kEventFactContext.size() : kEventContext.size());
  const char* end = context.data() + context.size();
  const auto [ptr, ec] = std::from_chars(context.data(), end, key.number);
  if (context.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return key;
}

Texts EnglishTexts() {
  Texts texts;
  for (const EventFactLabel& label : EventFactLabels()) texts[LabelOf(label.fact)] = label.label;
  for (const EventMessage& message : EventMessages()) texts[TextOf(message.id)] = message.text;
  return texts;
}

std::string InsertionList(const std::vector<int>& insertions) {
  if (insertions.empty()) return "none";
  std::string out;
  for (const int n : insertions) out += (out.empty() ? "%" : " %") + std::to_string(n);
  return out;
}

// The faults of `text`, which translates `english` (or is the English text):
// each message is one paragraph that Event Viewer wraps, and FormatMessage
// reads every "%" in it.
void CheckText(std::string_view text, std::string_view english, std::vector<std::string>& faults) {
  if (text.empty()) {
    faults.push_back("the text is empty");
    return;
  }
  std::string problem;
  if (!ToCharset(text, "UTF-16LE", problem)) faults.push_back(problem);
  if (std::any_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
    faults.push_back("the text holds a line end or another control character: it is one paragraph");
  }
  std::optional<std::vector<int>> insertions = Insertions(text);
  std::optional<std::vector<int>> english_insertions = Insertions(english);
  if (!insertions) {
    faults.push_back(
        "a \"%\" that is not an insertion (%1 to %99), which FormatMessage would take "
        "for one of its own escapes");
  } else if (english_insertions) {
    std::sort(insertions->begin(), insertions->end());
    std::sort(english_insertions->begin(), english_insertions->end());
    if (insertions != english_insertions) {
      faults.push_back("insertions " + InsertionList(*insertions) +
                       " differ from the English text's " + InsertionList(*english_insertions));
    }
  }
}

// The faults of the English table itself: its texts, a fact on a line of a
// message without a label, and a fact without an insertion string.
void CheckEnglish(const Texts& english, std::vector<std::string>& errors) {
  auto report = [&](const std::string& what, const std::string& fault) {
    errors.push_back("built-in English table: " + what + ": " + fault);
  };
  for (const auto& [key, text] : english) {
    std::vector<std::string> faults;
    CheckText(text, text, faults);
    for (const std::string& fault : faults) report(NameOf(key), fault);
  }
  auto is_fact = [](int fact) { return fact >= kFactVersion && fact <= kLastFact; };
  for (const EventFactLabel& label : EventFactLabels()) {
    if (!is_fact(label.fact)) {
      report(NameOf(LabelOf(label.fact)), "no insertion string has its number");
    }
  }
  for (const EventMessage& message : EventMessages()) {
    const std::string name = NameOf(TextOf(message.id));
    for (const EventFactLine& line : message.facts) {
      if (!english.contains(LabelOf(line.fact))) {
        report(name, "fact " + std::to_string(line.fact) + " has a line but no label");
      }
      if (line.beside && !is_fact(*line.beside)) {
        report(name, "fact " + std::to_string(*line.beside) + " is no insertion string");
      }
    }
  }
}

// The translations of `language`'s source, each checked against `english`.
Texts Translations(const EventLanguage& language, const Texts& english,
                   std::vector<std::string>& errors) {
  auto report = [&](int line, const std::string& text) {
    errors.push_back(Describe(language.source, {line, -1, text}));
  };
  Texts texts;
  const PoParseResult parsed = ParsePo(language.po_text);
  if (parsed.error_line != 0) {
    report(parsed.error_line, parsed.error);
    return texts;
  }
  std::map<TextKey, int> lines;
  for (const PoEntry& entry : parsed.entries) {
    if (!entry.msgctxt || !IsEventContext(*entry.msgctxt)) continue;
    const std::optional<TextKey> key = KeyOf(*entry.msgctxt);
    const auto original = key ? english.find(*key) : english.end();
    if (original == english.end()) {
      report(entry.line, "extra entry \"" + *entry.msgctxt +
                             "\": no event or fact label of the English table has that name");
      continue;
    }
    const std::string name = NameOf(*key);
    if (const auto earlier = lines.find(*key); earlier != lines.end()) {
      report(entry.line,
             name + ": extra entry: already given on line " + std::to_string(earlier->second));
      continue;
    }
    lines[*key] = entry.line;
    if (entry.msgid != original->second) {
      report(entry.line, name + ": msgid is not the English text \"" + original->second + "\"");
    }
    if (entry.fuzzy) report(entry.line, name + ": the translation is marked fuzzy");
    std::vector<std::string> faults;
    CheckText(entry.msgstr, original->second, faults);
    for (const std::string& fault : faults) report(entry.line, name + ": " + fault);
    texts[*key] = entry.msgstr;
  }
  for (const auto& [key, text] : english) {
    if (!lines.contains(key)) report(0, NameOf(key) + ": missing entry");
  }
  return texts;
}

// The message of `message` in a language: its text, a blank line, and a
// line for each fact, under the language's label. Windows line ends: the
// message table keeps them as they are.
std::string MessageOf(const EventMessage& message, const Texts& texts) {
  std::string out = texts.at(TextOf(message.id)) + "\r\n\r\n";
  for (const EventFactLine& line : message.facts) {
    out += texts.at(LabelOf(line.fact)) + " %" + std::to_string(line.fact);
    if (line.beside) out += " %" + std::to_string(*line.beside);
    out += "\r\n";
  }
  return out;
}

}  // namespace

std::optional<std::vector<int>> Insertions(std::string_view text) {
  std::vector<int> insertions;
  for (std::size_t pos = text.find('%'); pos != std::string_view::npos; pos = text.find('%', pos)) {
    std::size_t end = pos + 1;
    while (end < text.size() && end < pos + 3 && text[end] >= '0' && text[end] <= '9') ++end;
    int number = 0;
    const bool digits =
        std::from_chars(text.data() + pos + 1, text.data() + end, number).ec == std::errc();
    // A "!" after the number would begin a printf format of the insertion.
    if (!digits || number == 0 || (end < text.size() && text[end] == '!')) return std::nullopt;
    insertions.push_back(number);
    pos = end;
  }
  return insertions;
}

EventCompileResult CompileEvents(std::span<const EventLanguage> languages) {
  const Texts english = EnglishTexts();
  EventCompileResult result;
  CheckEnglish(english, result.errors);
  std::vector<Texts> texts;
  for (const EventLanguage& language : languages) {
    texts.push_back(language.source.empty() ? english
                                            : Translations(language, english, result.errors));
  }
  if (!result.errors.empty()) return result;

  std::string& mc = result.text;
  mc = "; // The messages of SETUP.EXE's events, made by nlsc from the English table\r\n"
       "; // (driver/event_messages.cpp) and its translations (nls/*.po).\r\n"
       "LanguageNames=(";
  for (const EventLanguage& language : languages) {
    if (&language != &languages.front()) mc += " ";
    char id[7];
    std::snprintf(id, sizeof id, "0x%04X", static_cast<unsigned>(language.id));
    mc += language.name + "=" + id + ":" + language.name;
  }
  mc += ")\r\n\r\n";
  for (const EventMessage& message : EventMessages()) {
    mc += "MessageId=" + std::to_string(message.id) + "\r\nSymbolicName=" + message.symbol + "\r\n";
    for (std::size_t i = 0; i < languages.size(); ++i) {
      mc += "Language=" + languages[i].name + "\r\n" + MessageOf(message, texts[i]) + ".\r\n\r\n";
    }
  }
  return result;
}

}  // namespace qsetup::nlsc
