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

constexpr wchar_t kLongPathPrefix[] = L"\\\\?\\";

// Windows takes a "\\?\" path as it is: repeated separators would stay.
std::wstring WithoutRepeatedSeparators(std::wstring path, std::size_t from) {
  std::size_t kept = from;
  for (std::size_t i = from; i < path.size(); ++i) {
    if (path[i] == L'\\' && kept > 0 && path[kept - 1] == L'\\') continue;
    path[kept++] = path[i];
  }
  path.resize(kept);
  return path;
}

}  // namespace

std::wstring FilePath(const std::string& path) {
  const std::wstring wide = FromAnsi(path);
  const std::wstring_view prefix = kLongPathPrefix;
  if (wide.starts_with(prefix)) return WithoutRepeatedSeparators(wide, prefix.size());
  if (wide.size() < kPlainPathLimit) return wide;
  // The full path is what "\\?\" needs: absolute, with backslashes alone,
  // without "." and "..", and without repeated separators.
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  if (full.starts_with(prefix) || full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return std::wstring(prefix) + L"UNC" + full.substr(1);
  return std::wstring(prefix) + full;
}

std::wstring FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int size =
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  if (::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            size) != size) {
    return {};
  }
  return wide;
}

ReadableFilePtr OpenReadableFile(const std::string& path, WinError* error) {
  // Reading never stands in the way of another program, or another run,
  // that writes or replaces the file.
  UniqueFile file(::CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    if (error != nullptr) *error = ::GetLastError();
    return nullptr;
  }
  return std::make_unique<Win32ReadableFile>(std::move(file));
}

WinError FindPath(const std::string& path) {
  WIN32_FIND_DATAW found;
  const UniqueFind search(::FindFirstFileW(FilePath(path).c_str(), &found));
  return search ? kErrorSuccess : ::GetLastError();
}

}  // namespace qsetup::win32
