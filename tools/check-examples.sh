#!/usr/bin/env bash
# Checks the fleet examples beyond what the end-to-end tests run: the README
# shows the playbooks of examples/ansible/, examples/fleet/by-exit-code.cmd
# and the PowerShell scripts of examples/fleet/ as they are; the playbooks
# pass ansible-playbook's syntax check (Debian's ansible with its
# ansible.windows collection; offline, on a made-up inventory). The status
# playbook's table is made from reports that QLN2STAT.EXE printed under Wine,
# by the end-to-end tests (tools/status-table.sh). tools/test.sh runs it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# shown LANGUAGE FILE: FILE, with line feeds for line ends, is one of the
# README's ```LANGUAGE blocks.
shown() {
  local language=$1 file=$2 blocks
  mkdir -p "$tmp/$language"
  awk -v fence="\`\`\`$language" -v dir="$tmp/$language" '
    $0 == fence { n++; out = sprintf("%s/%03d", dir, n); printf "" > out; inside = 1; next }
    inside && $0 == "```" { inside = 0; next }
    inside { print > out }' README.md
  tr -d '\r' <"$file" >"$tmp/wanted"
  blocks=("$tmp/$language"/*)
  for block in "${blocks[@]}"; do
    [ -f "$block" ] && cmp -s "$block" "$tmp/wanted" && return 0
  done
  echo "check-examples: README.md shows no \`\`\`$language block equal to $file" >&2
  for block in "${blocks[@]}"; do
    [ -f "$block" ] && diff -u --label "$file" --label "README.md block" "$tmp/wanted" "$block" >&2
  done
  return 1
}

shown yaml examples/ansible/qln2.yml
shown yaml examples/ansible/qln2-msi.yml
shown yaml examples/ansible/qln2-status.yml
shown bat examples/fleet/by-exit-code.cmd
shown powershell examples/fleet/qln2-status.ps1
shown powershell examples/fleet/qln2-detect.ps1

export ANSIBLE_HOME="$tmp/ansible" ANSIBLE_LOCAL_TEMP="$tmp/ansible/tmp" ANSIBLE_NOCOLOR=1
printf '[qln2_servers]\nserver1.example\n[windows]\nserver1.example\n' >"$tmp/inventory"
ansible-playbook --syntax-check -i "$tmp/inventory" examples/ansible/qln2.yml \
  examples/ansible/qln2-msi.yml examples/ansible/qln2-status.yml

echo "check-examples: the README shows the examples as they are; the playbooks' syntax is good"
