#!/usr/bin/env bash
# Builds everything and runs every test: installs what is missing, checks the
# fleet examples that the README shows, cross-builds SETUP.EXE and its MSI
# package for x64 and x86, builds the native unit tests twice (plain, and with
# AddressSanitizer and UndefinedBehaviorSanitizer), runs the unit tests and the
# end-to-end tests of both packages and both MSI packages under Wine, and
# checks that two release builds of the last commit are identical.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QSETUP_BUILD_DIR:-$root/build}
jobs=${QSETUP_JOBS:-2}

bash tools/setup.sh

step() { printf '\n=== %s\n' "$*"; }

step "format check"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

step "fleet examples: the README's copies and the playbooks' syntax"
bash tools/check-examples.sh

for arch in x64 x86; do
  step "Windows build ($arch)"
  bash tools/windows-configure.sh "$arch" "$build/win-$arch" \
    -DQSETUP_PACKAGE_DIR="$build/package/$arch" -DQSETUP_FIXTURE_DIR="$build/fixtures/$arch" \
    -DQSETUP_MSI_DIR="$build/msi" >/dev/null
  cmake --build "$build/win-$arch" -j "$jobs"
done

step "native build and tests (unit and end-to-end)"
cmake -S . -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQSETUP_PACKAGE_ROOT="$build/package" -DQSETUP_FIXTURE_ROOT="$build/fixtures" \
  -DQSETUP_MSI_ROOT="$build/msi" >/dev/null
cmake --build "$build/native" -j "$jobs"
(cd "$build/native" && ctest --output-on-failure -j "$jobs")

step "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B "$build/asan" -DCMAKE_BUILD_TYPE=Debug -DQSETUP_SANITIZE=ON >/dev/null
cmake --build "$build/asan" -j "$jobs"
(cd "$build/asan" && ctest --output-on-failure -j "$jobs")

step "fuzz targets: seed corpora replayed under the sanitizers"
bash tools/fuzz.sh --replay

step "reproducible release: the last commit built twice, in two directories"
if [ -n "$(git status --porcelain)" ]; then
  echo "(uncommitted changes are not part of this check)"
fi
bash tools/check-reproducible.sh
