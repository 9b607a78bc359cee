#!/usr/bin/env bash
# Checks the fleet examples beyond what the end-to-end tests run: the README
# shows the playbooks of examples/ansible/, examples/fleet/by-exit-code.cmd
# and the PowerShell scripts of examples/fleet/ as they are; the playbooks
# pass ansible-playbook's syntax check (Debian's ansible with its
# ansible.windows collection; offline, on a made-up inventory). The status
# playbook's table is made from reports that QLN2STAT.EXE printed under Wine,
# by the end-to-end tests (tools/status-table.sh). The folder that the
# examples copy the package to is the protected one (see below). tools/test.sh
# runs it.
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
shown powershell examples/fleet/qln2-folder.ps1
shown powershell examples/fleet/qln2-verify.ps1
shown powershell examples/fleet/qln2-check-release.ps1

# The package folder's permissions, as the examples state them (Windows
# applies them; Wine does not, so this reads what they ask for): the SDDL
# that qln2-folder.ps1 makes the folder with gives the Administrators the
# folder, SYSTEM and the Administrators full control of it and of all below
# it, and nobody else anything, with nothing inherited from above; the folder
# is made with it, and an existing one is held to the same. Every playbook
# makes or checks that folder before it copies anything there, copies
# nowhere else, and checks the signatures before it runs anything.
python3 - examples/fleet/qln2-folder.ps1 examples/ansible/*.yml <<'PY'
import re, sys, yaml
script, playbooks = open(sys.argv[1]).read(), sys.argv[2:]
faults = []
sddls = re.findall(r"SetSecurityDescriptorSddlForm\('([^']*)'\)", script)
if len(sddls) != 1:
    faults.append('qln2-folder.ps1 states no single SDDL')
else:
    parts = re.fullmatch(r'O:(\w+)D:([A-Z]*)((?:\([^)]*\))+)', sddls[0])
    if not parts:
        faults.append('%s: not an owner and a DACL alone' % sddls[0])
    else:
        owner, flags, aces = parts.groups()
        aces = re.findall(r'\(([^)]*)\)', aces)
        if owner not in ('BA', 'SY'):
            faults.append('the owner is %s, not the Administrators or SYSTEM' % owner)
        if 'P' not in flags:
            faults.append('the DACL is not protected: it inherits from the folders above')
        trustees = []
        for ace in aces:
            kind, ace_flags, rights, _, _, trustee = ace.split(';')
            trustees.append(trustee)
            if kind != 'A' or rights != 'FA' or sorted(re.findall('..', ace_flags)) != ['CI', 'OI']:
                faults.append('(%s) is not full control for the folder and all below it' % ace)
        if sorted(trustees) != ['BA', 'SY']:
            faults.append('the DACL names %s, not SYSTEM and the Administrators alone' % trustees)
for needed in ('.Create($protected)', 'AreAccessRulesProtected', 'GetOwner',
               "'S-1-5-18', 'S-1-5-32-544'", 'ReparsePoint', 'throw'):
    if needed not in script:
        faults.append('qln2-folder.ps1 does not use %s' % needed)
for playbook in playbooks:
    made = verified = False
    for task in yaml.safe_load(open(playbook))[0]['tasks']:
        run = task.get('ansible.windows.win_powershell', {})
        if 'qln2-folder.ps1' in run.get('script', ''):
            made = run['parameters']['Path'] == '{{ qln2_folder }}'
        if 'qln2-verify.ps1' in run.get('script', ''):
            verified = made
        copy = task.get('ansible.windows.win_copy')
        if copy and not (made and copy['dest'].startswith('{{ qln2_folder }}\\')):
            faults.append('%s: "%s" copies outside a folder that qln2-folder.ps1 made' % (playbook, task['name']))
        if copy:
            verified = False
        runs = task.get('ansible.windows.win_package') or task.get('ansible.windows.win_command')
        if runs and made and not verified:
            faults.append('%s: "%s" runs what no signature check passed' % (playbook, task['name']))
for fault in faults:
    print('check-examples: ' + fault, file=sys.stderr)
sys.exit(1 if faults else 0)
PY

export ANSIBLE_HOME="$tmp/ansible" ANSIBLE_LOCAL_TEMP="$tmp/ansible/tmp" ANSIBLE_NOCOLOR=1
printf '[qln2_servers]\nserver1.example\n[windows]\nserver1.example\n' >"$tmp/inventory"
ansible-playbook --syntax-check -i "$tmp/inventory" examples/ansible/qln2.yml \
  examples/ansible/qln2-msi.yml examples/ansible/qln2-status.yml

echo "check-examples: the README shows the examples as they are; the playbooks' syntax is good"
