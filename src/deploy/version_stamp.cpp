#include "deploy/version_stamp.h"

#include <memory>
#include <new>

namespace qsetup {

int CompareVersionStamps(const DeployContext& ctx, const std::string& first_path,
                         const std::string& second_path) {
  const std::unique_ptr<char[]> block(new (std::nothrow) char[kStampBlockSize]);
  if (!block) {
    ctx.console.PrintText(ctx.messages[kMsgNoMemory]);
    return 1;
  }
  const std::optional<std::string> second_text =
      ReadStampText(ctx.os.OpenForReading(second_path), block.get());
  if (!second_text) return 1;
  const std::optional<std::string> first_text =
      ReadStampText(ctx.os.OpenForReading(first_path), block.get());
  if (!first_text) return 1;
  return CompareStampValues(*first_text, *second_text);
}

}  // namespace qsetup
