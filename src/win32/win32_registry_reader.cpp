// The registry of a program that only reads it, in a file of its own: SETUP.EXE
// links the whole key instead (win32_registry.cpp).
#include "win32/win32_registry.h"
#include "win32/win32_registry_reads.h"

namespace qsetup::win32 {
namespace {

class Win32KeyReader final : public Win32KeyReads<RegistryKeyReader, Win32KeyReader> {
 public:
  using Win32KeyReads::Win32KeyReads;
};

}  // namespace

WinError Win32RegistryReader::OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                                                  RegistryKeyReaderPtr& key) {
  return OpenLocalMachine<Win32KeyReader>(path, access, key);
}

}  // namespace qsetup::win32
