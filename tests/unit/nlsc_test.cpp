// The catalog compiler: reading PO sources, the checks that fail a build, and
// the catalogs that the build compiled from the repository's sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

#include "catalog/catalog.h"
#include "catalog/messages.h"
#include "catalog_compiler.h"
#include "deploy/answer_words.h"
#include "driver/event_messages.h"
#include "event_compiler.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_platform.h"
#include "po_file.h"

namespace qsetup::nlsc {
namespace {

// A complete source: every English text, translated by `translations` where
// it names a number, otherwise kept as it is.
std::string Source(const std::map<int, std::string>& translations = {}) {
  std::string po =
      "# test source\nmsgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n";
  for (int n = 0; n < kMessageCount; ++n) {
    const auto it = translations.find(n);
    const std::string text = it != translations.end() ? it->second : BuiltinMessages()[n];
    po += "\nmsgctxt \"" + std::to_string(n) + "\"\nmsgid \"" + EscapePo(BuiltinMessages()[n]) +
          "\"\nmsgstr \"" + EscapePo(text) + "\"\n";
  }
  return po;
}

// The catalog file of `texts`: count byte, texts with their NULs.
std::string CatalogBytes(const std::vector<std::string>& texts) {
  std::string bytes(1, static_cast<char>(texts.size()));
  for (const std::string& text : texts) bytes.append(text).push_back('\0');
  return bytes;
}

std::vector<std::string> EnglishTexts() {
  return {BuiltinMessages(), BuiltinMessages() + kMessageCount};
}

std::string Errors(const CompileResult& result) {
  std::string out;
  for (const Diagnostic& d : result.errors) out += Describe("xx.po", d) + "\n";
  return out;
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// Replaces the first `from` in `text`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(PoFile, EscapesRoundTrip) {
  const char* texts[] = {"plain",      "\n\r", "a\"quoted\" \\path\\", "\n\n\r\n\r", "tab\there",
                         "%s\n\r\n\r", "",     "\xC3\xA9t\xC3\xA9"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const PoParseResult parsed =
        ParsePo(std::string("msgid \"x\"\nmsgstr \"") + EscapePo(text) + "\"\n");
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].msgstr, text);
  }
}

TEST(PoFile, ReadsEntriesAsTranslatorsWriteThem) {
  const PoParseResult parsed = ParsePo(
      "\xEF\xBB\xBF# translator comment\n"
      "msgid \"\"\nmsgstr \"\"\n\"Language: fr\\n\"\n\n"
      "#. role\n#, fuzzy, c-format\nmsgctxt \"8\"\nmsgid \"\"\n\"two \"\n\"lines\\n\"\n"
      "msgstr \"\"\n\"deux \"   \n  \"lignes\\n\"\n"
      "#~ msgctxt \"9\"\n#~ msgid \"old\"\n#~ msgstr \"vieux\"\n"
      "msgctxt \"10\"\r\nmsgid \"\\101\\x42\\\\\"\r\nmsgstr \"c\"\r\n");
  ASSERT_EQ(parsed.error, "");
  ASSERT_EQ(parsed.entries.size(), 3u);
  EXPECT_FALSE(parsed.entries[0].msgctxt.has_value());
  EXPECT_EQ(parsed.entries[0].msgstr, "Language: fr\n");
  EXPECT_EQ(parsed.entries[1].line, 8);
  EXPECT_EQ(parsed.entries[1].msgctxt, "8");
  EXPECT_TRUE(parsed.entries[1].fuzzy);
  EXPECT_EQ(parsed.entries[1].msgid, "two lines\n");
  EXPECT_EQ(parsed.entries[1].msgstr, "deux lignes\n");
  EXPECT_FALSE(parsed.entries[2].fuzzy);
  EXPECT_EQ(parsed.entries[2].msgid, "AB\\");
}

TEST(PoFile, SyntaxErrorsNameTheirLine) {
  const struct {
    const char* text;
    int line;
    const char* error;
  } cases[] = {
      {"msgid \"a\"\nmsgstr \"b\n", 2, "string without its closing quote"},
      {"msgid \"a\"\nmsgid_plural \"as\"\n", 2, "\"msgid_plural\" is not a keyword"},
      {"msgstr \"b\"\n", 1, "\"msgstr\" out of order"},
      {"msgid \"a\"\nmsgid \"b\"\nmsgstr \"\"\n", 2, "entry without msgstr"},
      {"msgid \"a\"\n", 1, "entry without msgstr"},
      {"\n\"stray\"\n", 2, "string outside an entry"},
      {"msgid \"a\" x\nmsgstr \"\"\n", 1, "text after the closing quote"},
      {"msgid \"\\q\"\nmsgstr \"\"\n", 1, "unknown escape \\q"},
      {"msgid\nmsgstr \"\"\n", 1, "\"msgid\" without a string"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const PoParseResult parsed = ParsePo(c.text);
    EXPECT_EQ(parsed.error_line, c.line);
    EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    EXPECT_TRUE(parsed.entries.empty());
  }
}

TEST(Compiler, EnglishTableGivesItsOwnBytes) {
  const CompileResult result = CompileEnglish(BuiltinMessages(), "CP850");
  ASSERT_EQ(Errors(result), "");
  EXPECT_EQ(result.bytes, CatalogBytes(EnglishTexts()));
  EXPECT_EQ(result.bytes.substr(0, 12), std::string("\x51n\0y\0cancel\0", 12));
}

TEST(Compiler, GoodSourceGivesTheExactBytes) {
  // The same source into both code pages: é is 0x82 in CP850; 終了 is
  // 8F 49 97 B9 in CP932, and a line feed stays a line feed.
  // A line as wide as it may be: 67 columns and a file name.
  const std::string widest = std::string(67, 'x') + "%s\n";
  const CompileResult western =
      CompilePo(Source({{8, "Installation du logiciel Orvane Quillon 2 \xC3\xA9t\xC3\xA9\n\r"},
                        {52, "%s est plus ancien que %s.\n"},
                        {5, widest}}),
                BuiltinMessages(), "CP850");
  ASSERT_EQ(Errors(western), "");
  std::vector<std::string> texts = EnglishTexts();
  texts[8] = "Installation du logiciel Orvane Quillon 2 \x82t\x82\n\r";
  texts[52] = "%s est plus ancien que %s.\n";
  texts[5] = widest;
  EXPECT_EQ(western.bytes, CatalogBytes(texts));

  const CompileResult japanese =
      CompilePo(Source({{33, "\xE7\xB5\x82\xE4\xBA\x86"}, {70, "\xE7\xB5\x82\n\xE4\xBA\x86\n"}}),
                BuiltinMessages(), "CP932");
  ASSERT_EQ(Errors(japanese), "");
  texts = EnglishTexts();
  texts[33] = "\x8F\x49\x97\xB9";
  texts[70] = "\x8F\x49\n\x97\xB9\n";
  EXPECT_EQ(japanese.bytes, CatalogBytes(texts));
}

TEST(Compiler, EachFaultFailsWithFileAndMessageNumber) {
  const std::string good = Source();
  const std::string entry70 = "\nmsgctxt \"70\"\nmsgid \"" + EscapePo(BuiltinMessages()[70]) +
                              "\"\nmsgstr \"" + EscapePo(BuiltinMessages()[70]) + "\"\n";
  const struct {
    const char* name;
    std::string source;
    const char* charset;
    const char* error;  // a line of the report
  } cases[] = {
      {"missing message", Replaced(good, entry70, ""), "CP850",
       "xx.po: message 70: missing message"},
      {"empty translation", Source({{13, ""}}), "CP850",
       "message 13: missing message: the translation is empty"},
      {"message given twice", good + entry70, "CP850", "message 70: extra message: already given"},
      {"number beyond the table", good + "msgctxt \"81\"\nmsgid \"x\"\nmsgstr \"y\"\n", "CP850",
       "extra message \"81\""},
      {"no message number", good + "msgid \"x\"\nmsgstr \"y\"\n", "CP850",
       "an entry without a message number"},
      {"conversion dropped", Source({{52, "%s est plus ancien.\n"}}), "CP850",
       "message 52: conversions \"%s\" differ from the English text's \"%s\" \"%s\""},
      {"conversion changed", Source({{6, "Copie de %s vers %d\n"}}), "CP850",
       "message 6: conversions"},
      {"conversions swapped", Source({{24, "%d: %s\n\n"}}), "CP850", "message 24: conversions"},
      {"conversion added",
       Source({{13,
                "Installation 100% termin\xC3\xA9"
                "e\n\r"}}),
       "CP850", "message 13: conversions"},
      {"line end reversed", Source({{8, "Banni\xC3\xA8re\r\n"}}), "CP850",
       "message 8: ends with line ends"},
      {"line end dropped", Source({{54, "Copier ? (o/n) :"}}), "CP850",
       "message 54: ends with line ends"},
      {"line end added", Source({{33, "Appuyez sur une touche.\n"}}), "CP850",
       "message 33: ends with line ends"},
      {"leading line feed dropped",
       Source({{28,
                "\xC3\x89"
                "chec\n"}}),
       "CP850", "message 28: begins with line ends"},
      {"blank line dropped",
       Source({{72, Replaced(BuiltinMessages()[72], "it. \n\nThe", "it. \nThe")}}), "CP850",
       "message 72: blank lines or carriage returns inside"},
      {"euro sign in CP850", Source({{8, "Prix : 5 \xE2\x82\xAC\n\r"}}), "CP850",
       "message 8: character U+20AC cannot be written in CP850"},
      {"accent in CP932", Source({{8, "\xC3\xA9t\xC3\xA9\n\r"}}), "CP932",
       "message 8: character U+00E9 cannot be written in CP932"},
      {"not UTF-8", Source({{8, "\xE9t\xE9\n\r"}}), "CP850",
       "message 8: the text is not valid UTF-8"},
      {"NUL in a text", Replaced(Source({{13, "XX\n\r"}}), "XX", "A\\0B"), "CP850",
       "message 13: the text holds a NUL byte"},
      {"end-of-file byte", Source({{13, "Fin\x1A\n\r"}}), "CP850",
       "message 13: the text holds the byte 0x1A"},
      {"stale English", Replaced(good, "\"Installation complete\\n\\r\"", "\"Done\\n\\r\""),
       "CP850", "message 13: msgid is not the English text"},
      {"fixed name translated", Source({{60, "TELMXO.DRV"}}), "CP850",
       "message 60: this name stays as in English"},
      {"fuzzy translation", Replaced(good, "\nmsgctxt \"13\"", "\n#, fuzzy\nmsgctxt \"13\""),
       "CP850", "message 13: the translation is marked fuzzy"},
      {"cancel word shadows yes", Source({{1, "oui"}, {2, "o"}}), "CP850",
       "message 1: typing the answer word \"oui\" does not answer yes"},
      {"answer word with a blank", Source({{1, " j"}}), "CP850",
       "message 1: typing the answer word \" j\" does not answer yes: the installer asks again"},
      {"double-byte yes word", Source({{1, "\xE3\x81\xAF\xE3\x81\x84"}}), "CP932",
       "does not answer yes: the installer asks again"},
      {"line too wide", Source({{5, std::string(80, 'x') + "%s\n"}}), "CP850",
       "message 5: a line is 92 columns wide"},
      {"line too wide once %s holds a file name", Source({{5, std::string(68, 'x') + "%s\n"}}),
       "CP850", "message 5: a line is 80 columns wide, each conversion counted as 12"},
      {"double-byte characters two columns each",
       Source({{5, Repeated("\xE7\xB5\x82", 34) + "%s\n"}}), "CP932",
       "message 5: a line is 80 columns wide"},
      {"header in another charset", Replaced(good, "charset=UTF-8", "charset=ISO-8859-1"), "CP850",
       "xx.po:2: the header declares charset ISO-8859-1"},
      {"syntax error", good + "msgctxt \"x\n", "CP850", "string without its closing quote"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CompileResult result = CompilePo(c.source, BuiltinMessages(), c.charset);
    EXPECT_TRUE(result.bytes.empty());
    EXPECT_NE(Errors(result).find(c.error), std::string::npos) << Errors(result);
  }
}

TEST(Compiler, ReportsLinesOfTheSource) {
  const CompileResult result = CompilePo(Source({{8, "Banner"}}), BuiltinMessages(), "CP850");
  ASSERT_EQ(result.errors.size(), 1u);
  // Header of 4 lines, then 4 lines per entry: entry 8 begins on line 38.
  EXPECT_EQ(Describe("fr.po", result.errors[0]).substr(0, 21), "fr.po:38: message 8: ");
}

// A complete source of the event messages: every English text of the
// table, translated by `translations` where it names the entry's context,
// otherwise kept as it is.
std::string EventSource(const std::map<std::string, std::string>& translations = {}) {
  std::vector<std::pair<std::string, std::string>> english;
  for (const EventFactLabel& label : EventFactLabels()) {
    english.emplace_back("event fact " + std::to_string(label.fact), label.label);
  }
  for (const EventMessage& message : EventMessages()) {
    english.emplace_back("event " + std::to_string(message.id), message.text);
  }
  std::string po = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n";
  for (const auto& [context, text] : english) {
    const auto it = translations.find(context);
    po += "\nmsgctxt \"" + context + "\"\nmsgid \"" + EscapePo(text) + "\"\nmsgstr \"" +
          EscapePo(it != translations.end() ? it->second : text) + "\"\n";
  }
  return po;
}

std::string EventErrors(const std::string& source) {
  const EventLanguage languages[] = {{"english", 0x0409, "", ""}, {"xx", 0x040C, "xx.po", source}};
  const EventCompileResult result = CompileEvents(languages);
  EXPECT_EQ(result.text.empty(), !result.errors.empty());
  std::string out;
  for (const std::string& error : result.errors) out += error + "\n";
  return out;
}

TEST(EventCompiler, EachFaultFailsWithFileAndEntry) {
  ASSERT_EQ(EventErrors(EventSource({{"event 2", "\u00C9chec : 100 \u20AC"}})), "");
  const std::string good = EventSource();
  const std::string entry8 = "msgctxt \"event 8\"";
  const struct {
    const char* name;
    std::string source;
    const char* error;  // a line of the report
  } cases[] = {
      {"missing entry", Replaced(good, entry8, "msgctxt \"9\""), "xx.po: event 8: missing entry"},
      {"unknown event", good + "msgctxt \"event 3\"\nmsgid \"x\"\nmsgstr \"y\"\n",
       "extra entry \"event 3\""},
      {"fact without a label", good + "msgctxt \"event fact 10\"\nmsgid \"x\"\nmsgstr \"y\"\n",
       "extra entry \"event fact 10\""},
      {"entry given twice",
       good + "msgctxt \"event fact 2\"\nmsgid \"Exit code:\"\nmsgstr \"Code :\"\n",
       "event fact 2: extra entry: already given on line"},
      {"stale English", Replaced(good, "msgid \"Exit code:\"", "msgid \"Exit status:\""),
       "event fact 2: msgid is not the English text \"Exit code:\""},
      {"fuzzy translation", Replaced(good, entry8, "#, fuzzy\n" + entry8),
       "event 8: the translation is marked fuzzy"},
      {"empty translation", EventSource({{"event 0", ""}}), "event 0: the text is empty"},
      {"insertion added", EventSource({{"event 8", "Adapter %1 not found."}}),
       "event 8: insertions %1 differ from the English text's none"},
      {"percent sign", EventSource({{"event 100", "Rien (100 % s\xC3\xBBr)."}}),
       "event 100: a \"%\" that is not an insertion"},
      {"insertion with a format", EventSource({{"event 0", "%1!d! installed"}}),
       "event 0: a \"%\" that is not an insertion"},
      {"line end", EventSource({{"event 0", "Installed.\nRestart."}}),
       "event 0: the text holds a line end"},
      {"not UTF-8", EventSource({{"event fact 1", "Versi\xF3n:"}}),
       "event fact 1: the text is not valid UTF-8"},
      {"syntax error", good + "msgctxt \"event 0\n", "string without its closing quote"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string errors = EventErrors(c.source);
    EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
  }
}

// The catalogs that this build compiled from the repository's sources.
class CompiledCatalogs : public ::testing::Test {
 protected:
  static std::string Read(const std::string& name) {
    std::ifstream in(std::string(QSETUP_CATALOG_DIR) + "/" + name + ".nls", std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
  }
  // The texts of a catalog file, asserting its shape: count byte 81, exactly
  // 81 texts each with its NUL, then the package's version stamp and nothing
  // else.
  static std::vector<std::string> Texts(const std::string& bytes) {
    std::vector<std::string> texts;
    EXPECT_FALSE(bytes.empty());
    if (bytes.empty()) return texts;
    EXPECT_EQ(bytes[0], 81);
    const std::string stamp = "!@#$" QSETUP_PRODUCT_VERSION_TEXT "$#@!";
    const std::size_t end = bytes.size() - std::min(bytes.size(), stamp.size());
    EXPECT_EQ(bytes.substr(end), stamp);
    std::size_t pos = 1;
    while (pos < end) {
      const std::size_t nul = bytes.find('\0', pos);
      EXPECT_NE(nul, std::string::npos) << "last text without its NUL";
      if (nul == std::string::npos) break;
      texts.push_back(bytes.substr(pos, nul - pos));
      pos = nul + 1;
    }
    EXPECT_EQ(texts.size(), 81u);
    return texts;
  }
};

TEST_F(CompiledCatalogs, EnglishIsTheBuiltinTable) {
  EXPECT_EQ(Texts(Read("english")), EnglishTexts());
}

TEST_F(CompiledCatalogs, AnswerWordsAreTheOnesTheQuestionNames) {
  const struct {
    const char* name;
    std::array<const char*, 3> words;  // no, yes, cancel
  } cases[] = {
      {"english", {"n", "y", "cancel"}},   {"french", {"n", "o", "annuler"}},
      {"german", {"n", "j", "abbrechen"}}, {"spanish", {"n", "s", "cancelar"}},
      {"japanese", {"n", "y", "cancel"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> texts = Texts(Read(c.name));
    ASSERT_EQ(texts.size(), 81u);
    const std::string &no = texts[0], &yes = texts[1], &cancel = texts[2];
    EXPECT_EQ(no, c.words[0]);
    EXPECT_EQ(yes, c.words[1]);
    EXPECT_EQ(cancel, c.words[2]);

    // The question tells the user to type "(yes/no)"; what it names must
    // give those answers, in either case, and the cancel word must cancel.
    const std::string& question = texts[54];
    const std::size_t open = question.rfind('(');
    const std::size_t slash = question.find('/', open);
    const std::size_t close = question.find(')', slash);
    ASSERT_NE(open, std::string::npos) << question;
    ASSERT_NE(slash, std::string::npos) << question;
    ASSERT_NE(close, std::string::npos) << question;
    const std::string typed_yes = question.substr(open + 1, slash - open - 1);
    const std::string typed_no = question.substr(slash + 1, close - slash - 1);
    EXPECT_EQ(typed_yes, yes);
    EXPECT_EQ(typed_no, no);
    std::string upper_yes = typed_yes, upper_no = typed_no;
    for (char& ch : upper_yes) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (char& ch : upper_no) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const AnswerWords words{no.c_str(), yes.c_str(), cancel.c_str()};
    for (const std::string& reply : {typed_yes, upper_yes}) {
      EXPECT_EQ(MatchAnswer(reply.c_str(), words), kAnswerYes) << reply;
    }
    for (const std::string& reply : {typed_no, upper_no}) {
      EXPECT_EQ(MatchAnswer(reply.c_str(), words), kAnswerNo) << reply;
    }
    EXPECT_EQ(MatchAnswer(cancel.c_str(), words), kAnswerCancel);
    // Message 11 tells the user to type the cancel word.
    EXPECT_NE(texts[11].find(cancel), std::string::npos) << texts[11];
  }
}

TEST_F(CompiledCatalogs, LoadAsTheProgramLoadsThem) {
  const std::pair<const char*, std::uint16_t> catalogs[] = {
      {"french", 0x040C},   {"german", 0x0407},  {"spanish", 0x0C0A},
      {"japanese", 0x0411}, {"english", 0x0409},
  };
  for (const auto& [name, lang_id] : catalogs) {
    const int lang = LanguageIndexOf(lang_id);
    SCOPED_TRACE(name);
    const std::string bytes = Read(name);
    const std::vector<std::string> texts = Texts(bytes);
    ASSERT_EQ(texts.size(), 81u);
    qsetup::testing::FakeCatalogOs os;
    qsetup::testing::FakeConsoleIo io;
    Console console{io};
    CatalogStore store{os, console, "C:\\Pkg"};
    os.files.files[std::string("C:\\Pkg") + CatalogFileName(lang)].data = bytes;
    const char* const* table = nullptr;
    ASSERT_EQ(loadlangtbl(store, table, kMessageCount, lang), 0);
    for (int n = 0; n < kMessageCount; ++n) {
      SCOPED_TRACE(n);
      // Read as text, a CR LF inside a text comes back as LF. Only message 7
      // ("\n\r\n\r"), which the program never prints, holds one.
      std::string expected = texts[n];
      for (std::size_t at; (at = expected.find("\r\n")) != std::string::npos;) {
        EXPECT_EQ(n, 7);
        expected.erase(at, 1);
      }
      EXPECT_EQ(std::string(table[n]), expected);
    }
    for (int n = kFirstFixedName; n <= kLastFixedName; ++n) {
      EXPECT_STREQ(table[n], BuiltinMessages()[n]);
    }
    freelangtbl(store, table);
  }
}

// The message file of the event messages that this build compiled: every
// language has a message for each id of the English table, with the
// insertions of its English message.
TEST(CompiledEventMessages, EveryLanguageHasTheEnglishMessages) {
  std::ifstream in(QSETUP_EVENT_MESSAGES, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  const std::string utf16 = data.str();
  ASSERT_FALSE(utf16.empty());
  // Its structure is ASCII: other characters are kept as '?'.
  std::string text;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    const unsigned unit = static_cast<unsigned char>(utf16[i]) |
                          static_cast<unsigned>(static_cast<unsigned char>(utf16[i + 1])) << 8;
    text += unit < 0x80 ? static_cast<char>(unit) : '?';
  }

  std::map<std::string, std::map<std::uint32_t, std::string>> messages;  // by language, id
  std::vector<std::string> languages;
  std::istringstream lines(text);
  std::uint32_t id = 0;
  std::string* message = nullptr;
  for (std::string line; std::getline(lines, line);) {
    ASSERT_TRUE(line.ends_with("\r")) << line;
    line.pop_back();
    if (message != nullptr) {
      if (line == ".")
        message = nullptr;
      else
        *message += line + "\n";
    } else if (line.starts_with("MessageId=")) {
      id = static_cast<std::uint32_t>(std::stoul(line.substr(10)));
    } else if (line.starts_with("Language=")) {
      const std::string language = line.substr(9);
      if (std::find(languages.begin(), languages.end(), language) == languages.end()) {
        languages.push_back(language);
      }
      message = &messages[language][id];
    }
  }
  ASSERT_GT(languages.size(), 1u);
  ASSERT_EQ(languages.front(), "english");
  const std::map<std::uint32_t, std::string>& english = messages["english"];
  std::vector<std::uint32_t> ids;
  for (const EventMessage& event : EventMessages()) ids.push_back(event.id);
  for (const std::string& language : languages) {
    SCOPED_TRACE(language);
    std::vector<std::uint32_t> language_ids;
    for (const auto& [message_id, unused] : messages[language]) language_ids.push_back(message_id);
    EXPECT_EQ(language_ids, ids);
    for (const auto& [message_id, english_text] : english) {
      SCOPED_TRACE(message_id);
      std::optional<std::vector<int>> insertions = Insertions(messages[language][message_id]);
      std::optional<std::vector<int>> english_insertions = Insertions(english_text);
      ASSERT_TRUE(insertions && english_insertions);
      std::sort(insertions->begin(), insertions->end());
      std::sort(english_insertions->begin(), english_insertions->end());
      EXPECT_EQ(insertions, english_insertions);
    }
    // The files that the next start completes in the events that install,
    // the Windows error's text in those that fail with it.
    for (const std::uint32_t message_id : ids) {
      SCOPED_TRACE(message_id);
      const std::optional<std::vector<int>> insertions = Insertions(messages[language][message_id]);
      ASSERT_TRUE(insertions);
      const auto shows = [&](EventFact fact) {
        return std::count(insertions->begin(), insertions->end(), static_cast<int>(fact)) == 1;
      };
      EXPECT_EQ(shows(kFactFilesAtRestart), message_id == 1 || message_id == 16);
      EXPECT_EQ(shows(kFactWindowsErrorText), message_id == 2 || message_id == 302);
    }
  }
}

}  // namespace
}  // namespace qsetup::nlsc
