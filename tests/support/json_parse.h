// JSON read by a real parser: Python's json module (python3, which
// tools/setup.sh installs), so that the tests do not judge the program's
// JSON by the program's own idea of it.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace qsetup::testing {

// Each document's values, one map per document: the path of each value (its
// keys and array indexes joined by '/') to the value as Python's json.dumps
// writes it ("2.1.0" in quotes, null, true, 3, {} and [] for empty ones). A
// document that does not parse, that is not one JSON object, or whose
// objects repeat a key gives a map with one entry, "error", that says why.
inline std::vector<std::map<std::string, std::string>> ParseJsonDocuments(
    const std::vector<std::string>& documents) {
  // One document a line, each as a JSON string, so that the parser sees the
  // bytes as they are, line ends and all.
  static constexpr char kScript[] = R"PY(
import json, sys

def pairs(items):
    keys = [k for k, _ in items]
    if len(keys) != len(set(keys)):
        raise ValueError('repeated key')
    return dict(items)

def flat(path, value, out):
    if isinstance(value, dict) and value:
        for k, v in value.items():
            flat(path + [k], v, out)
    elif isinstance(value, list) and value:
        for i, v in enumerate(value):
            flat(path + [str(i)], v, out)
    else:
        out.append(('/'.join(path), json.dumps(value, ensure_ascii=False)))

for line in open(sys.argv[1], encoding='ascii').read().split('\n')[:-1]:
    out = []
    try:
        document = json.loads(line).encode('latin-1').decode('utf-8')
        value = json.loads(document, object_pairs_hook=pairs)
        if not isinstance(value, dict):
            raise ValueError('not an object')
        flat([], value, out)
    except ValueError as error:
        out = [('error', str(error))]
    for path, value in out:
        print(json.dumps(path) + '\t' + json.dumps(value))
    print('end')
)PY";
  char script[] = "/tmp/qsetup-json-script-XXXXXX";
  char input[] = "/tmp/qsetup-json-XXXXXX";
  const int script_fd = ::mkstemp(script);
  const int fd = ::mkstemp(input);
  if (script_fd < 0 || fd < 0) {
    ADD_FAILURE() << "no temporary file";
    return {};
  }
  const std::size_t script_size = sizeof kScript - 1;
  const bool script_written =
      ::write(script_fd, kScript, script_size) == static_cast<ssize_t>(script_size);
  ::close(script_fd);
  std::string lines;
  for (const std::string& document : documents) {
    // As a JSON string of the document's bytes taken as Latin-1, which the
    // script turns back into those bytes.
    std::string quoted = "\"";
    for (const char c : document) {
      const auto byte = static_cast<unsigned char>(c);
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      quoted += (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') ? std::string(1, c)
                                                                       : std::string(escaped);
    }
    lines += quoted + "\"\n";
  }
  const bool written = script_written && ::write(fd, lines.data(), lines.size()) ==
                                             static_cast<ssize_t>(lines.size());
  ::close(fd);
  std::vector<std::map<std::string, std::string>> parsed;
  if (written) {
    const std::string command = std::string("python3 ") + script + " " + input + " 2>&1";
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      std::string text;
      char buffer[4096];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        text.append(buffer, n);
      }
      const int status = ::pclose(pipe);
      EXPECT_EQ(status, 0) << text;
      std::map<std::string, std::string> current;
      std::size_t at = 0;
      for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        if (line == "end") {
          parsed.push_back(std::move(current));
          current.clear();
          continue;
        }
        // Both halves are JSON strings of ASCII; their escapes are the
        // script's own: \" \\ and \uXXXX for what ensure_ascii escapes.
        const std::size_t tab = line.find('\t');
        const auto unquote = [](std::string quoted) {
          std::string plain;
          for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
            if (quoted[i] != '\\') {
              plain += quoted[i];
              continue;
            }
            const char next = quoted[++i];
            if (next != 'u') {
              plain += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
              continue;
            }
            unsigned unit = static_cast<unsigned>(std::stoul(quoted.substr(i + 1, 4), nullptr, 16));
            i += 4;
            if (unit >= 0xD800 && unit < 0xDC00 && quoted.compare(i + 1, 2, "\\u") == 0) {
              const unsigned low =
                  static_cast<unsigned>(std::stoul(quoted.substr(i + 3, 4), nullptr, 16));
              unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
              i += 6;
            }
            // In UTF-8.
            if (unit < 0x80) {
              plain += static_cast<char>(unit);
            } else if (unit < 0x800) {
              plain += static_cast<char>(0xC0 | unit >> 6);
              plain += static_cast<char>(0x80 | (unit & 0x3F));
            } else if (unit < 0x10000) {
              plain += static_cast<char>(0xE0 | unit >> 12);
              plain += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
              plain += static_cast<char>(0x80 | (unit & 0x3F));
            } else {
              plain += static_cast<char>(0xF0 | unit >> 18);
              plain += static_cast<char>(0x80 | ((unit >> 12) & 0x3F));
              plain += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
              plain += static_cast<char>(0x80 | (unit & 0x3F));
            }
          }
          return plain;
        };
        current[unquote(line.substr(0, tab))] = unquote(line.substr(tab + 1));
      }
    } else {
      ADD_FAILURE() << "python3 could not be started";
    }
  }
  std::remove(input);
  std::remove(script);
  EXPECT_EQ(parsed.size(), documents.size()) << "python3 did not answer for every document";
  return parsed;
}

inline std::map<std::string, std::string> ParseJson(const std::string& document) {
  std::vector<std::map<std::string, std::string>> parsed = ParseJsonDocuments({document});
  return parsed.empty() ? std::map<std::string, std::string>{{"error", "no answer"}}
                        : std::move(parsed.front());
}

}  // namespace qsetup::testing
