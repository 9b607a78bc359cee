// Writing the version stamp that stamp_text.h reads: the start marker, the
// version text and the end marker, within a file's first 100000 bytes. The
// one spelling of a stamp for every file of the package: the programs and
// the message file's resource script spell theirs at compile time with these
// macros (a resource script reads them as C), nlsc writes the catalogs' with
// VersionStamp.
#pragma once

#define QSETUP_STAMP_START "!@#$"
#define QSETUP_STAMP_END "$#@!"

// The stamp of the string literal `version`, as adjacent literals.
#define QSETUP_VERSION_STAMP(version) QSETUP_STAMP_START version QSETUP_STAMP_END

#ifdef __cplusplus

// Defines `name`, an image's stamp of this build's version (version.h's
// QSETUP_PRODUCT_VERSION), in a section that the linker puts at the start of
// the code, so that it lies within the first 100000 bytes.
#define QSETUP_DEFINE_VERSION_STAMP(name)                                       \
  extern "C" __attribute__((used, section(".text$0stamp"))) const char name[] = \
      QSETUP_VERSION_STAMP(QSETUP_PRODUCT_VERSION)

// Keeps the stamp `name` in the image when the linker drops unreferenced data.
#define QSETUP_KEEP_VERSION_STAMP(name) asm volatile("" : : "r"(name))

#include <string>
#include <string_view>

namespace qsetup {

// The stamp of `version`, as a file's bytes hold it.
std::string VersionStamp(std::string_view version);

}  // namespace qsetup

#endif  // __cplusplus
