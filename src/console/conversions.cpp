// Only the catalog compiler lists a text's conversions: a file of its own, so
// that neither program carries it (on x64 an image keeps every function of
// each object file that it links).
#include "console/conversion.h"
#include "console/format.h"

namespace qsetup {

std::vector<std::string> Conversions(std::string_view format) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while ((pos = format.find('%', pos)) != std::string_view::npos) {
    const Conversion c = ParseConversion(format, pos);
    if (c.character != '%') out.emplace_back(format.substr(pos, c.end - pos));
    pos = c.end;
  }
  return out;
}

}  // namespace qsetup
