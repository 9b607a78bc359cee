#!/usr/bin/env bash
# Checks that releases are reproducible: makes the release of the last
# commit twice with tools/release.sh, each from a clone of its own in a
# directory of its own (so source and build paths differ), and compares the
# two package trees and dist/ (archives, MSI packages and SHA256SUMS) byte
# for byte. It also checks that each archive unpacks to exactly its package
# tree. When two MSI packages differ, it names the tables and streams that
# differ (msidump).
# When the caller compiles through ccache (CMAKE_CXX_COMPILER_LAUNCHER=ccache
# and CCACHE_DIR, as tools/test.sh does for the tree's own builds), the
# first release takes from that cache what the tree's builds compiled of the
# same files; the second compiles everything anew without it.
# Exits with 0 when all is identical, 1 naming what differs.
#   tools/check-reproducible.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
commit=$(git -C "$root" rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/tmp}/qsetup-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

clones=("$work/one/qsetup" "$work/two/elsewhere/release-src")
# Where each clone builds: the first as deep below its clone as the tree's
# builds lie below the tree (build/win-x64, release/win-x64), since the
# cache takes paths relative to the clone (CCACHE_BASEDIR).
builds=("${clones[0]}" "${clones[1]}/build")
for i in 0 1; do
  clone=${clones[$i]}
  # A repository holding just the commit that HEAD names, checked out.
  git init -q "$clone"
  git -C "$clone" fetch -q "$root" HEAD
  git -C "$clone" checkout -q --detach FETCH_HEAD
  echo "== release of ${commit:0:12} in $clone"
  if [ "$i" -eq 0 ]; then
    QSETUP_BUILD_DIR=${builds[0]} CCACHE_BASEDIR=$clone bash "$clone/tools/release.sh"
  else
    env -u CMAKE_CXX_COMPILER_LAUNCHER QSETUP_BUILD_DIR="${builds[1]}" \
      bash "$clone/tools/release.sh"
  fi | sed 's/^/   /'
done

one=${clones[0]}
two=${clones[1]}
status=0
if ! diff -r "${builds[0]}/release/package" "${builds[1]}/release/package"; then status=1; fi
if ! diff -r "$one/dist" "$two/dist"; then status=1; fi
for msi in "$one"/dist/*.msi; do
  other=$two/dist/$(basename "$msi")
  if [ -f "$other" ] && ! cmp -s "$msi" "$other"; then
    for side in one two; do
      mkdir -p "$work/dump-$side"
      rm -rf "${work:?}/dump-$side"/*
    done
    msidump --tables --streams --directory "$work/dump-one" "$msi" >/dev/null
    msidump --tables --streams --directory "$work/dump-two" "$other" >/dev/null
    echo "$(basename "$msi"): tables and streams that differ:" >&2
    diff -rq "$work/dump-one" "$work/dump-two" >&2 || true
  fi
done
for archive in "$one"/dist/*.zip; do
  arch=$(basename "$archive" .zip)
  arch=${arch##*-}
  mkdir "$work/unpacked-$arch"
  unzip -q "$archive" -d "$work/unpacked-$arch"
  if ! diff -r "$work/unpacked-$arch" "${builds[0]}/release/package/$arch"; then
    echo "$(basename "$archive") does not unpack to the $arch package" >&2
    status=1
  fi
done
if [ "$status" -eq 0 ]; then
  echo "reproducible: two builds of ${commit:0:12} gave identical packages, archives and MSIs"
else
  echo "NOT reproducible: see the differences above" >&2
fi
exit "$status"
