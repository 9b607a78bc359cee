// nlsc: compiles a message catalog source into a catalog file.
//
//   nlsc [--charset NAME] [--stamp VERSION] --output FILE [SOURCE.po]
//
// Without a source it compiles the built-in English texts. NAME is an iconv
// charset (default CP850). With --stamp the file carries the version stamp
// "!@#$VERSION$#@!" after its texts, where the catalog loader does not look
// and the installer's version comparison does. Faults go to standard error as
// "SOURCE:LINE: message N: ..."; then nothing is written and the exit code
// is 1. Usage errors exit with 2.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>

#include "catalog/messages.h"
#include "catalog_compiler.h"

namespace {

int Usage() {
  std::cerr << "usage: nlsc [--charset NAME] [--stamp VERSION] --output FILE [SOURCE.po]\n";
  return 2;
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

}  // namespace

int main(int argc, char** argv) {
  std::string charset = "CP850";
  std::string output;
  std::string source;
  std::string stamp;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--charset" || arg == "--output" || arg == "--stamp") && i + 1 < argc) {
      (arg == "--charset" ? charset : arg == "--output" ? output : stamp) = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && source.empty()) {
      source = arg;
    } else {
      return Usage();
    }
  }
  if (output.empty()) return Usage();
  for (const char c : stamp) {
    if (c < 0x21 || c > 0x7E) return Usage();  // printable ASCII only
  }

  namespace nlsc = qsetup::nlsc;
  nlsc::CompileResult result;
  std::string name = "built-in English table";
  if (source.empty()) {
    result = nlsc::CompileEnglish(qsetup::BuiltinMessages(), charset);
  } else {
    name = source;
    std::ifstream in(source, std::ios::binary);
    if (!in) {
      std::cerr << source << ": cannot be read\n";
      return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    result = nlsc::CompilePo(text.str(), qsetup::BuiltinMessages(), charset);
  }
  if (!result.errors.empty()) {
    for (const nlsc::Diagnostic& d : result.errors) std::cerr << nlsc::Describe(name, d) << "\n";
    return 1;
  }
  if (!stamp.empty()) result.bytes += "!@#$" + stamp + "$#@!";
  if (!WriteAtomically(output, result.bytes)) {
    std::cerr << output << ": cannot be written\n";
    return 1;
  }
  return 0;
}
