#!/usr/bin/env bash
# Lints the playbook, then runs it against this machine (connection local) on a sample tree and
# checks the report it gathers: in check mode what would be revised, with nothing changed; then
# every sample font revised; then on a second run nothing left to do.
# Usage: test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: test.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'cp "$work/report.json" /tmp/last-report.json 2>/dev/null; rm -rf "$work"' EXIT

mkdir -p "$work/build"
root=$("$top/scripts/make_sample.sh" "$work/build")
printf 'localhost ansible_connection=local ansible_python_interpreter=/usr/bin/python3\n' > "$work/inventory"
(cd "$here" && ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP="$work/ansible" ansible-lint -q revise-fonts.yml handlers/restart.yml) \
  || { echo "ansible-lint found the above"; exit 1; }

run() {
  ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP="$work/ansible" ansible-playbook "$@" -i "$work/inventory" "$here/revise-fonts.yml" \
    -e reviser_program="$build/app/font-reviser-sample" \
    -e reviser_host_folder="$root/Applications/FontReviser/host" \
    -e reviser_dir="$root/Applications/FontReviser" \
    -e "{\"reviser_leading_args\": [\"$root\"]}" \
    -e reviser_install_runtime=false -e reviser_become=false \
    -e reviser_report="$work/report.json" > "$work/play.log" 2>&1 || { cat "$work/play.log"; exit 1; }
}
check() {  # status, revised count, restart handler expected, dry run
  /usr/bin/python3 - "$work/report.json" "$1" "$2" "$4" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
host = report["localhost"]
assert host["status"] == int(sys.argv[2]), host["status"]  # a number
assert host["dry_run"] == (sys.argv[4] == "yes"), host
assert len(host["revised"]) == int(sys.argv[3]), host
assert host["failures"] == [], host["failures"]
assert host["summary"]["status"] == host["status"], host["summary"]
if host["status"] != 0:
    assert host["summary"]["reason"], host["summary"]
PY
  if [[ $3 == yes ]]; then grep -q "a restart is needed" "$work/play.log"; else ! grep -q "a restart is needed" "$work/play.log"; fi
}
fonts() { find "$root" -name '*.otf' -printf '%p %T@ %s\n' | sort; }
before=$(fonts)
run --check; check 0 6 no yes
[[ $(fonts) == "$before" ]] || { echo "check mode changed a font"; exit 1; }
run; check 0 6 yes no
run; check 21 0 no no
echo "playbook: lint clean; check mode changed nothing; report gathered, fonts revised, restart left to the handler"
