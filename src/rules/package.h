// The package: its files and what each run, and each report, does with each
// of them. Staging, the tool refresh, the installing copies, the service
// tool's runs, the status report and the MSI's custom action all take their
// names from this one table.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "base/ascii.h"
#include "version.h"

namespace qsetup {

// What is done with a package file; a file may have several roles.
enum PackageRole : unsigned {
  kStaged = 1u << 0,         // copied into the staging directory, in table order
  kInstalled = 1u << 1,      // copied from there into the system directory, in table order
  kRefreshed = 1u << 2,      // copied into the system directory after each removal tool
  kReported = 1u << 3,       // its stamp is part of the package in the status report
  kServiceTool = 1u << 4,    // the service tool (its arguments below)
  kSetupProgram = 1u << 5,   // SETUP.EXE itself
  kStatusProgram = 1u << 6,  // QLN2STAT.EXE, the status report
};

struct PackageFile {
  const char* name;  // as it lies in the package directory
  unsigned roles;
};

inline constexpr PackageFile kPackage[] = {
    {"SETUP.EXE", kStaged | kReported | kSetupProgram},
    {"TELMXW.DLL", kStaged | kInstalled | kReported},
    {"TELMXREM.EXE", kStaged | kInstalled | kRefreshed | kReported},
    {"TELMXSVC.EXE", kStaged | kInstalled | kRefreshed | kReported | kServiceTool},
    {"ENGLISH.NLS", kStaged | kReported},
    {"JAPANESE.NLS", kStaged | kReported},
    {"QLN2STAT.EXE", kReported | kStatusProgram},
};

// The event source's message file: resources alone (the event messages),
// named after the version, so that no run of this version replaces the file
// that a viewer of the events may hold loaded. Runs put it into the staging
// directory themselves, beside the staged files.
inline constexpr char kMessageFilePrefix[] = "QLN2MSG-";
inline constexpr char kMessageFileName[] = "QLN2MSG-" QSETUP_PRODUCT_VERSION ".DLL";

constexpr std::size_t CountPackageFiles(unsigned role) {
  std::size_t count = 0;
  for (const PackageFile& file : kPackage) count += (file.roles & role) != 0 ? 1 : 0;
  return count;
}

// The names of the package files that have `Role`, in table order.
template <unsigned Role>
constexpr std::array<const char*, CountPackageFiles(Role)> PackageFilesWith() {
  std::array<const char*, CountPackageFiles(Role)> names{};
  std::size_t at = 0;
  for (const PackageFile& file : kPackage) {
    if ((file.roles & Role) != 0) names[at++] = file.name;
  }
  return names;
}

// The one file that has `Role`.
template <unsigned Role>
constexpr const char* PackageFileWith() {
  static_assert(CountPackageFiles(Role) == 1, "one file has this role");
  return PackageFilesWith<Role>()[0];
}

inline constexpr auto kStagedFiles = PackageFilesWith<kStaged>();
inline constexpr auto kServiceFiles = PackageFilesWith<kInstalled>();
inline constexpr auto kRefreshedTools = PackageFilesWith<kRefreshed>();
inline constexpr auto kReportedFiles = PackageFilesWith<kReported>();
inline constexpr const char* kSetupProgramName = PackageFileWith<kSetupProgram>();
inline constexpr const char* kStatusProgramName = PackageFileWith<kStatusProgram>();
inline constexpr const char* kServiceToolFile = PackageFileWith<kServiceTool>();

// The service tool's path in `folder` (ending in a separator), as its command
// lines name it: in lower case, as the tool has always been started.
inline std::string ServiceToolPath(const std::string& folder) {
  std::string path = folder;
  for (const char* c = kServiceToolFile; *c != '\0'; ++c) path.push_back(AsciiLower(*c));
  return path;
}

// The service tool's arguments: its removal of whichever service it finds,
// and its installation of this package's service.
inline constexpr char kServiceToolRemove[] = "-remove";
inline constexpr char kServiceToolInstall[] = "-install -QLN2";

// The service that the service tool registers.
inline constexpr char kServiceName[] = "QLN2Svc";

// How a file of the package is found in the folder that staging copies
// it from.
enum class PackageFileState { kAbsent, kReadable, kUnreadable };

// The package in a folder, as SETUP.EXE's staging takes it.
struct PackageCheck {
  bool any = false;  // one of its staged files at least is there
  // The first staged file that is not there or cannot be read: staging
  // fails, and the run ends with 2. Null when the package is whole.
  const char* lacking = nullptr;
};

// The one rule by which a folder holds a package that staging can take
// whole; `states` tells how each of kStagedFiles is found, in their order.
PackageCheck CheckPackage(std::span<const PackageFileState, kStagedFiles.size()> states);

}  // namespace qsetup
