#!/usr/bin/env bash
# Checks that includes point down the floors of docs/ARCHITECTURE.md: each
# directory includes only its own floor and those below it, so that
# driver/, status/ and msi/ include none of each other and rules/ nothing
# above base/, catalog/ and console/. Prints every include that points
# elsewhere and exits with 1; 0 when there is none.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

subsystems='detect|deploy|replace'
below_rules='base|console|catalog|rules'
# Each directory and the directories that it may include.
allowed=(
  "src/base:base"
  "src/console:console|base"
  "src/catalog:catalog|console|base"
  "src/rules:$below_rules"
  "src/detect:detect|$below_rules"
  "src/deploy:deploy|$below_rules"
  "src/replace:replace|$below_rules"
  "src/driver:driver|$subsystems|$below_rules"
  "src/status:status|$subsystems|$below_rules"
  "src/win32:win32|driver|status|$subsystems|$below_rules"
  "msi:msi|win32|$subsystems|$below_rules"
)

found=0
for entry in "${allowed[@]}"; do
  dir=${entry%%:*}
  ok=${entry#*:}
  if lines=$(git grep -nE '^#include "[a-z0-9_]+/' -- "$dir" | grep -vE "#include \"($ok)/"); then
    printf '%s may include only %s:\n%s\n' "$dir" "${ok//|/, }" "$lines"
    found=1
  fi
done
exit "$found"
