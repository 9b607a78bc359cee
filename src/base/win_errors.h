// Windows error and status values that the portable code tells apart, with
// the values the Windows API uses. Last errors (DWORD) and registry statuses
// (LONG) share one numbering, held in one type.
#pragma once

#include <cstdint>

namespace qsetup {

using WinError = std::uint32_t;

inline constexpr WinError kErrorSuccess = 0;
inline constexpr WinError kErrorFileNotFound = 2;
inline constexpr WinError kErrorPathNotFound = 3;
inline constexpr WinError kErrorAccessDenied = 5;
inline constexpr WinError kErrorNotEnoughMemory = 8;
inline constexpr WinError kErrorInvalidData = 13;
inline constexpr WinError kErrorSharingViolation = 32;
inline constexpr WinError kErrorFileExists = 80;
inline constexpr WinError kErrorInvalidParameter = 87;
inline constexpr WinError kErrorDiskFull = 112;
inline constexpr WinError kErrorInsufficientBuffer = 122;
inline constexpr WinError kErrorFilenameExcedRange = 206;
inline constexpr WinError kErrorMoreData = 234;
inline constexpr WinError kErrorNoMoreItems = 259;
inline constexpr WinError kErrorElevationRequired = 740;
inline constexpr WinError kErrorKeyDeleted = 1018;
inline constexpr WinError kErrorServiceDoesNotExist = 1060;
inline constexpr WinError kErrorNoUnicodeTranslation = 1113;

}  // namespace qsetup
