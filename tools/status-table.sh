#!/usr/bin/env bash
# Prints the status playbook's table (examples/ansible/qln2-status.yml) for
# the reports in DIR: each file there is one host's QLN2STAT.EXE /JSON output,
# named after the host. The playbook's own tasks that make the rows and print
# them run in Ansible on this machine, with each report registered as
# win_command registers it. The end-to-end tests feed it reports that
# QLN2STAT.EXE printed under Wine.
#   tools/status-table.sh DIR
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
reports=$(cd "${1:?usage: status-table.sh DIR}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export ANSIBLE_HOME="$tmp/ansible" ANSIBLE_LOCAL_TEMP="$tmp/ansible/tmp" ANSIBLE_NOCOLOR=1

mkdir -p "$tmp/host_vars"
hosts=()
for report in "$reports"/*; do hosts+=("$(basename "$report")"); done
python3 - "$reports" "$tmp" "$root/examples/ansible/qln2-status.yml" "${hosts[@]}" <<'PY'
import json, sys, yaml
reports, tmp, playbook, hosts = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
play = yaml.safe_load(open(playbook))[0]
rows = ("Make the host's row of the table", 'Print one table of the fleet')
tasks = [task for task in play['tasks'] if task['name'] in rows]
assert len(tasks) == 2, 'the playbook has no such tasks'
with open(tmp + '/table.yml', 'w') as out:
    yaml.safe_dump([{'name': 'table', 'hosts': 'all', 'gather_facts': False,
                     'vars': play['vars'], 'tasks': tasks}], out)
for host in hosts:
    stdout = open(reports + '/' + host, newline='').read()
    with open(tmp + '/host_vars/' + host + '.json', 'w') as out:
        json.dump({'qln2stat': {'rc': json.loads(stdout)['exitCode'], 'stdout': stdout}}, out)
PY
printf '%s ansible_connection=local\n' "${hosts[@]}" >"$tmp/inventory"
# Ansible's warnings would mix with the table: they are shown only when it fails.
if ! ANSIBLE_STDOUT_CALLBACK=json ansible-playbook -i "$tmp/inventory" "$tmp/table.yml" \
  >"$tmp/run.json" 2>"$tmp/ansible.err"; then
  cat "$tmp/run.json" "$tmp/ansible.err" >&2
  exit 1
fi
python3 -c '
import json, sys
run = json.load(open(sys.argv[1]))
print("\n".join(next(iter(run["plays"][0]["tasks"][-1]["hosts"].values()))["msg"]))' \
  "$tmp/run.json"
