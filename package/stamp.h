// The package's version stamp, placed early in each image so that the
// installer's stamp comparison (first 100000 bytes) finds it.
#pragma once

#include "version.h"

#define QSETUP_DEFINE_VERSION_STAMP(name)                                       \
  extern "C" __attribute__((used, section(".text$0stamp"))) const char name[] = \
      "!@#$" QSETUP_PRODUCT_VERSION "$#@!"

// Keeps the stamp in the image when the linker drops unreferenced data.
#define QSETUP_KEEP_VERSION_STAMP(name) asm volatile("" : : "r"(name))
