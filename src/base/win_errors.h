// Windows error and status values that the portable code tells apart, with
// the values the Windows API uses. Last errors (DWORD) and registry statuses
// (LONG) share one numbering.
#pragma once

namespace qsetup {

inline constexpr int kErrorSuccess = 0;
inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorNotEnoughMemory = 8;
inline constexpr int kErrorInvalidData = 13;
inline constexpr int kErrorInsufficientBuffer = 122;
inline constexpr int kErrorMoreData = 234;
inline constexpr int kErrorNoMoreItems = 259;
inline constexpr int kErrorKeyDeleted = 1018;

}  // namespace qsetup
