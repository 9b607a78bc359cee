// nlsc: compiles a message catalog source into a catalog file, or the
// messages of the program's events into a message file.
//
//   nlsc [--charset NAME] [--stamp VERSION] --output FILE [SOURCE.po]
//   nlsc --events --output FILE LANGUAGE=ID[:SOURCE.po]...
//
// Without a source it compiles the built-in English texts. NAME is an iconv
// charset (default CP850). With --stamp the file carries the version stamp
// "!@#$VERSION$#@!" after its texts, where the catalog loader does not look
// and the installer's version comparison does.
//
// With --events it writes the message file (.mc) of the event messages in
// each LANGUAGE, in UTF-16LE with Windows line ends: the built-in English
// table for a LANGUAGE without a source, else the translations in SOURCE.po.
// ID is the language id of its table, in hexadecimal ("0x040C").
//
// Faults go to standard error as "SOURCE:LINE: ..."; then nothing is
// written and the exit code is 1. Usage errors exit with 2.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "catalog/messages.h"
#include "catalog_compiler.h"
#include "charset.h"
#include "deploy/stamp_writer.h"
#include "event_compiler.h"

namespace {

int Usage() {
  std::cerr << "usage: nlsc [--charset NAME] [--stamp VERSION] --output FILE [SOURCE.po]\n"
               "       nlsc --events --output FILE LANGUAGE=ID[:SOURCE.po]...\n";
  return 2;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << path << ": cannot be read\n";
    return false;
  }
  std::ostringstream data;
  data << in.rdbuf();
  text = data.str();
  return true;
}

// Writes `bytes` to `path` through a temporary file, so that a failed or
// interrupted run leaves no partial catalog behind.
bool WriteAtomically(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  return !ec;
}

// The event messages of the languages that `specs` name as
// "LANGUAGE=ID[:SOURCE.po]", written to `output`.
int CompileEventMessages(const std::string& output, const std::vector<std::string>& specs) {
  namespace nlsc = qsetup::nlsc;
  std::vector<nlsc::EventLanguage> languages;
  for (const std::string& spec : specs) {
    const std::size_t equals = spec.find('=');
    const std::size_t colon = spec.find(':', equals);
    if (equals == 0 || equals == std::string::npos) return Usage();
    nlsc::EventLanguage language;
    language.name = spec.substr(0, equals);
    const std::string id = spec.substr(equals + 1, colon - equals - 1);
    if (!id.starts_with("0x") || id.size() == 2) return Usage();
    unsigned value = 0;
    const char* end = id.data() + id.size();
    if (std::from_chars(id.data() + 2, end, value, 16).ptr != end || value > 0xFFFF) return Usage();
    language.id = static_cast<std::uint16_t>(value);
    if (colon != std::string::npos) {
      language.source = spec.substr(colon + 1);
      if (language.source.empty() || !ReadFile(language.source, language.po_text)) return 1;
    }
    languages.push_back(std::move(language));
  }
  if (languages.empty()) return Usage();
  const nlsc::EventCompileResult result = nlsc::CompileEvents(languages);
  for (const std::string& error : result.errors) std::cerr << error << "\n";
  if (!result.errors.empty()) return 1;
  // windmc reads it as UTF-16 (-u), with no code page between the texts and
  // the message table.
  std::string problem;
  const std::optional<std::string> utf16 = nlsc::ToCharset(result.text, "UTF-16LE", problem);
  if (!utf16) {
    std::cerr << output << ": " << problem << "\n";
    return 1;
  }
  if (!WriteAtomically(output, *utf16)) {
    std::cerr << output << ": cannot be written\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string charset = "CP850";
  std::string output;
  std::vector<std::string> sources;
  std::string stamp;
  bool events = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--charset" || arg == "--output" || arg == "--stamp") && i + 1 < argc) {
      (arg == "--charset" ? charset : arg == "--output" ? output : stamp) = argv[++i];
    } else if (arg == "--events") {
      events = true;
    } else if (!arg.empty() && arg[0] != '-') {
      sources.push_back(arg);
    } else {
      return Usage();
    }
  }
  if (output.empty()) return Usage();
  if (events) return CompileEventMessages(output, sources);
  if (sources.size() > 1) return Usage();
  for (const char c : stamp) {
    if (c < 0x21 || c > 0x7E) return Usage();  // printable ASCII only
  }

  namespace nlsc = qsetup::nlsc;
  nlsc::CompileResult result;
  std::string name = "built-in English table";
  if (sources.empty()) {
    result = nlsc::CompileEnglish(qsetup::BuiltinMessages(), charset);
  } else {
    name = sources.front();
    std::string text;
    if (!ReadFile(name, text)) return 1;
    result = nlsc::CompilePo(text, qsetup::BuiltinMessages(), charset);
  }
  if (!result.errors.empty()) {
    for (const nlsc::Diagnostic& d : result.errors) std::cerr << nlsc::Describe(name, d) << "\n";
    return 1;
  }
  if (!stamp.empty()) result.bytes += qsetup::VersionStamp(stamp);
  if (!WriteAtomically(output, result.bytes)) {
    std::cerr << output << ": cannot be written\n";
    return 1;
  }
  return 0;
}
