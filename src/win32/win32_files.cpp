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

// Paths from this length on reach the limits of the plain file functions:
// MAX_PATH, and for a directory that is made, MAX_PATH less room for an 8.3
// name.
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

constexpr char16_t kLongPathPrefix[] = u"\\\\?\\";

// Windows takes a "\\?\" path as it is: repeated separators would stay.
void RemoveRepeatedSeparators(std::u16string& path, std::size_t from) {
  std::size_t kept = from;
  for (std::size_t i = from; i < path.size(); ++i) {
    if (path[i] == u'\\' && kept > 0 && path[kept - 1] == u'\\') continue;
    path[kept++] = path[i];
  }
  path.resize(kept);
}

}  // namespace

WinError FilePath(const std::string& path, std::u16string& wide) {
  if (const WinError error = Widen(path, CP_ACP, wide); error != kErrorSuccess) return error;
  const std::u16string_view prefix = kLongPathPrefix;
  if (wide.starts_with(prefix)) {
    RemoveRepeatedSeparators(wide, prefix.size());
    return kErrorSuccess;
  }
  if (wide.size() < kPlainPathLimit) return kErrorSuccess;
  // The full path is what "\\?\" needs: absolute, with backslashes alone,
  // without "." and "..", and without repeated separators.
  const DWORD size = ::GetFullPathNameW(AsWide(wide), 0, nullptr, nullptr);
  std::u16string full(size, u'\0');
  const DWORD length =
      size == 0 ? 0 : ::GetFullPathNameW(AsWide(wide), size, AsWide(full), nullptr);
  if (length == 0 || length >= size) {
    wide.clear();
    return length == 0 ? LastError() : kErrorInsufficientBuffer;
  }
  full.resize(length);
  if (!full.starts_with(prefix) && !full.starts_with(u"\\\\.\\")) {
    // A network path, "\\server\share\...", becomes "\\?\UNC\server\share\...".
    const bool network = full.starts_with(u"\\\\");
    full.replace(0, network ? 1 : 0, network ? u"\\\\?\\UNC" : kLongPathPrefix);
  }
  wide = std::move(full);
  return kErrorSuccess;
}

ReadableFilePtr OpenReadableFile(const std::string& path, WinError* error) {
  std::u16string wide;
  WinError failed = FilePath(path, wide);
  if (failed == kErrorSuccess) {
    // Reading never stands in the way of another program, or another run,
    // that writes or replaces the file.
    UniqueFile file(::CreateFileW(AsWide(wide), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return std::make_unique<Win32ReadableFile>(std::move(file));
    failed = LastError();
  }
  if (error != nullptr) *error = failed;
  return nullptr;
}

WinError FindPath(const std::string& path) {
  std::u16string wide;
  if (const WinError error = FilePath(path, wide); error != kErrorSuccess) return error;
  WIN32_FIND_DATAW found;
  const UniqueFind search(::FindFirstFileW(AsWide(wide), &found));
  return search ? kErrorSuccess : LastError();
}

}  // namespace qsetup::win32
