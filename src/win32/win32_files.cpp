#include "win32/win32_files.h"

#include <algorithm>
#include <climits>

namespace qsetup::win32 {
namespace {

class Win32ReadableFile final : public ReadableFile {
 public:
  explicit Win32ReadableFile(UniqueFile file) : file_(std::move(file)) {}

  std::optional<std::uint64_t> Size() override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file_.get(), &size) || size.QuadPart < 0) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::size_t Read(char* buffer, std::size_t capacity) override {
    DWORD read = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(capacity, INT_MAX));
    if (!::ReadFile(file_.get(), buffer, ask, &read, nullptr)) return 0;
    return read;
  }

 private:
  UniqueFile file_;
};

}  // namespace

ReadableFilePtr OpenReadableFile(const std::string& path, WinError* error) {
  // Reading never stands in the way of another program, or another run,
  // that writes or replaces the file.
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    if (error != nullptr) *error = ::GetLastError();
    return nullptr;
  }
  return std::make_unique<Win32ReadableFile>(std::move(file));
}

WinError FindPath(const std::string& path) {
  WIN32_FIND_DATAA found;
  const UniqueFind search(::FindFirstFileA(path.c_str(), &found));
  return search ? kErrorSuccess : ::GetLastError();
}

}  // namespace qsetup::win32
