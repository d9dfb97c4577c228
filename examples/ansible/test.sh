#!/usr/bin/env bash
# Runs the playbook against this machine (connection local) on a sample tree, and checks the
# report it gathers: every sample font revised, then on a second run nothing left to do.
# Usage: test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: test.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/build"
root=$("$top/scripts/make_sample.sh" "$work/build")
printf 'localhost ansible_connection=local ansible_python_interpreter=/usr/bin/python3\n' > "$work/inventory"
run() {
  ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP="$work/ansible" ansible-playbook -i "$work/inventory" "$here/revise-fonts.yml" \
    -e reviser_program="$build/app/font-reviser-sample" \
    -e reviser_host_folder="$root/Applications/FontReviser/host" \
    -e reviser_dir="$root/Applications/FontReviser" \
    -e "{\"reviser_leading_args\": [\"$root\"]}" \
    -e reviser_install_runtime=false \
    -e reviser_report="$work/report.json" > "$work/play.log" 2>&1 || { cat "$work/play.log"; exit 1; }
}
check() {  # status, revised count, restart handler expected
  /usr/bin/python3 - "$work/report.json" "$1" "$2" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
host = report["localhost"]
assert int(host["status"]) == int(sys.argv[2]), host["status"]
events = host["events"]
assert events and events[-1]["event"] == "summary", events[-1:]
assert len(events[-1]["revised"]) == int(sys.argv[3]), events[-1]
assert all("event" in e for e in events)
PY
  if [[ $3 == yes ]]; then grep -q "a restart is needed" "$work/play.log"; else ! grep -q "a restart is needed" "$work/play.log"; fi
}
run; check 0 6 yes
run; check 21 0 no
echo "playbook: report gathered, fonts revised, restart left to the handler"
