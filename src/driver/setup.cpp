#include "driver/setup.h"

#include "catalog/catalog.h"
#include "catalog/messages.h"
#include "driver/exit_codes.h"
#include "driver/settings.h"

namespace qsetup {
namespace {

// The system directory must leave room for the file names appended to it in
// 520-byte path buffers.
constexpr std::uint32_t kMaxSystemDirectory = 259;

}  // namespace

int SetupMain(int argc, char** argv, Platform& platform) {
  Console console(platform.console);
  RunSettings settings;
  if (ParseSwitches(argc, argv, settings, console) == SwitchResult::kInvalidForceCode) {
    return kExitInstalled;
  }
  settings.source_dir =
      DeriveSourceDirectory(argc > 0 && argv[0] != nullptr ? argv[0] : "", platform.driver);

  CatalogStore catalog(platform.catalog, console, settings.source_dir);
  const char* const* texts = nullptr;
  const bool catalog_held =
      loadlangtbl(catalog, texts, kMessageCount, getlangindex(platform.catalog)) == 0;
  if (!catalog_held) {
    TracePause(console, settings.verbose, "Main - loadlangtbl failed.\n", kDriverPausePrompt);
    texts = BuiltinMessages();
  }
  const MessageTable messages(texts);

  console.PrintText(messages[kMsgBanner]);

  int exit_code = kExitInstalled;
  const SystemDirectory system_dir = platform.driver.ReadSystemDirectory();
  if (system_dir.length == 0 || system_dir.length > kMaxSystemDirectory) {
    TracePause(console, settings.verbose, "Main - GetSystemDirectory failed.\n",
               kDriverPausePrompt);
    console.PrintText(messages[kMsgInstallFailed]);
    exit_code = kExitFailed;
  }

  if (!settings.unattended) {
    console.PrintText(messages[kMsgPressAnyKey]);
    console.WaitForKey();
  }
  if (catalog_held) freelangtbl(catalog, texts);
  return exit_code;
}

}  // namespace qsetup
