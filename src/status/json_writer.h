// Writing JSON: one object built member by member, its strings in ASCII
// only, as the report's JSON form needs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qsetup {

// Writes one JSON object onto the end of the string `out`. Keys are the
// caller's own ASCII names; a null key makes an element of the array that is
// open.
class JsonOut {
 public:
  explicit JsonOut(std::string& out) : out_(out) {}

  // A member `key` that holds an object, or with '[' an array; End closes it.
  void Begin(const char* key, char bracket = '{');
  void End(char bracket = '}');
  // `text` (UTF-8) as a JSON string, in quotes, with every character outside
  // printable ASCII escaped (\uXXXX, UTF-16 surrogate pairs beyond U+FFFF)
  // and any byte that is not part of UTF-8 as U+FFFD.
  void String(const char* key, std::string_view text);
  // A string, or null for none.
  void MaybeString(const char* key, const std::optional<std::string>& text) {
    MaybeString(key, text ? text->c_str() : nullptr);
  }
  void MaybeString(const char* key, const char* text);
  void Bool(const char* key, std::optional<bool> value);
  void Number(const char* key, std::optional<std::uint32_t> value);
  // A member whose value `text` is JSON already.
  void Raw(const char* key, const char* text);
  // Ends the line (CR LF) after the object, once it is closed.
  void EndLine();

 private:
  void Name(const char* key);

  std::string& out_;
  bool first_ = true;
};

}  // namespace qsetup
