#!/usr/bin/env bash
# Checks the fleet examples beyond what the end-to-end tests run: the README
# shows the playbooks of examples/ansible/, examples/fleet/by-exit-code.cmd
# and the PowerShell scripts of examples/fleet/ as they are; the playbooks
# pass ansible-playbook's syntax check (Debian's ansible with its
# ansible.windows collection; offline, on a made-up inventory); and the
# status playbook's table comes out of Ansible as it should from the
# reports of three hosts. tools/test.sh runs it.
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

# The status playbook's table: its own tasks that make the rows and print
# them, run by Ansible on this machine for three hosts whose QLN2STAT.EXE
# printed these reports (registered as win_command registers them).
mkdir -p "$tmp/table/host_vars"
report() {
  printf '{"schema":1,"adapter":{"route":%s,"hidProbe":false,"scan":false,"setupExitCode":8},' "$2"
  printf '"installed":{"TELMXW.DLL":%s,"TELMXREM.EXE":%s,"TELMXSVC.EXE":%s},' "$3" "$4" "$5"
  printf '"restartOwed":%s,"current":%s,"exitCode":%s,"faults":[]}\r\n' "$6" "$7" "$8"
}
report current '"hardware-id scan"' '"2.1.0"' '"2.1.0"' '"2.1.0"' true true 1 >"$tmp/table/current"
report fresh '"hardware-id scan"' null null null false false 3 >"$tmp/table/fresh"
report mixed null '"2.1.0"' '"2.0.9"' '"2.1.0"' false false 3 >"$tmp/table/mixed"
python3 - "$tmp/table" examples/ansible/qln2-status.yml <<'PY'
import json, sys, yaml
table, playbook = sys.argv[1], sys.argv[2]
play = yaml.safe_load(open(playbook))[0]
rows = ("Make the host's row of the table", 'Print one table of the fleet')
tasks = [task for task in play['tasks'] if task['name'] in rows]
assert len(tasks) == 2, 'the playbook has no such tasks'
with open(table + '/test.yml', 'w') as out:
    yaml.safe_dump([{'name': 'table', 'hosts': 'all', 'gather_facts': False,
                     'vars': play['vars'], 'tasks': tasks}], out)
for host in ('current', 'fresh', 'mixed'):
    stdout = open(table + '/' + host, newline='').read()
    with open(table + '/host_vars/' + host + '.json', 'w') as out:
        json.dump({'qln2stat': {'rc': json.loads(stdout)['exitCode'], 'stdout': stdout}}, out)
PY
printf '%s ansible_connection=local\n' current fresh mixed >"$tmp/table/inventory"
ANSIBLE_STDOUT_CALLBACK=json ansible-playbook -i "$tmp/table/inventory" "$tmp/table/test.yml" \
  >"$tmp/table/run.json"
python3 -c '
import json, sys
run = json.load(open(sys.argv[1]))
print("\n".join(next(iter(run["plays"][0]["tasks"][-1]["hosts"].values()))["msg"]))' \
  "$tmp/table/run.json" >"$tmp/table/got"
cat >"$tmp/table/wanted" <<'END'
host                           adapter route     installed  current  restart owed
current                        hardware-id scan  2.1.0      True     True
fresh                          hardware-id scan  none       False    False
mixed                          -                 mixed      False    False
END
if ! diff -u --label wanted --label "the status playbook's table" "$tmp/table/wanted" \
  "$tmp/table/got" >&2; then
  echo "check-examples: the status playbook's table is not as it should be" >&2
  exit 1
fi
echo "check-examples: the README shows the examples as they are; the playbooks' syntax is good;"
echo "check-examples: the status playbook makes its table"
