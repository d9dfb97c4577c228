#!/usr/bin/env bash
# Lints the playbook, then runs it against this machine (connection local, the sample program
# in place, nothing installed) on sample trees and checks the report each run writes:
#  - one machine: check mode (what would be revised, nothing changed), every sample font
#    revised, check mode then with no change at all (and a run with nothing left to do in the
#    fleet below);
#  - patches that differ from those in place: check mode says "pending" and leaves them; a
#    real run puts them in place and removes a file the set no longer has;
#  - a fleet: a machine out of reach (ssh to a closed port), one where a task fails (no Python
#    there), one where another run is busy (24), one whose run revised a font and then failed
#    (the restart handler still runs);
#  - the same in batches of one (serial), the machine out of reach first: every batch runs
#    and the report has every machine.
# Everything, Ansible's own files included, stays in a scratch folder.
# Usage: test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: test.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP="$work/ansible" ANSIBLE_REMOTE_TMP="$work/remote" \
  ANSIBLE_SSH_CONTROL_PATH_DIR="$work/cp" ANSIBLE_HOST_KEY_CHECKING=False ANSIBLE_RETRY_FILES_ENABLED=False
mkdir -p "$HOME"

(cd "$here" && ansible-lint --offline -q revise-fonts.yml handlers/restart.yml group_vars/all.yml) \
  || { echo "ansible-lint found the above"; exit 1; }

# Two sample trees, each with the controller's copy of its patches beside it.
for m in a b; do
  mkdir -p "$work/$m"
  root=$("$top/scripts/make_sample.sh" "$work/$m")
  cp -r "$root/Applications/FontReviser/host" "$work/$m/patches"
done
# A stand-in for the program where a run ends as no sample can: busy, or failing after a revision.
cat > "$work/stand-in" <<'SH'
#!/bin/sh
t='"time":"2026-01-01T00:00:00.000Z"'
echo "{\"event\":\"start\",\"schema\":1,\"version\":\"9.9.9\",$t,\"dryRun\":false}"
case $1 in
  busy) echo "{\"event\":\"summary\",\"status\":24,\"revised\":[],\"failed\":[],\"restartNeeded\":false,\"reason\":\"busy\",\"detail\":\"run 41 holds the lock\",$t}"
        exit 24 ;;
  partial) echo "{\"event\":\"revised\",\"path\":\"/usr/share/fonts/a.otf\",\"skipped\":false,$t}"
           echo "{\"event\":\"failed\",\"path\":\"/usr/share/fonts/b.otf\",\"code\":11,\"reason\":\"exchange\",\"detail\":\"b.otf: rename\",\"message\":\"m\",$t}"
           echo "{\"event\":\"summary\",\"status\":11,\"revised\":[\"/usr/share/fonts/a.otf\"],\"failed\":[\"/usr/share/fonts/b.otf\"],\"restartNeeded\":true,\"patchSet\":\"$(printf '%064d' 7)\",\"reason\":\"exchange\",\"detail\":\"b.otf: rename\",$t}"
           exit 11 ;;
esac
SH
chmod +x "$work/stand-in"
closed_port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

inventory() {  # the machines, by name, in this order
  local m
  echo "all:"
  echo "  hosts:"
  for m in "$@"; do
    case $m in
      a|b) echo "    $m: {ansible_connection: local, reviser_command: $build/app/font-reviser-sample," \
                "reviser_leading_args: [$work/$m/sample-root], reviser_host_folder: $work/$m/patches," \
                "reviser_host_dir: $work/$m/sample-root/Applications/FontReviser/host}" ;;
      busy|partial) echo "    $m: {ansible_connection: local, reviser_command: $work/stand-in, reviser_leading_args: [$m]," \
                         "reviser_host_folder: ''}" ;;
      broken) echo "    broken: {ansible_connection: local, ansible_python_interpreter: $work/no-python}" ;;
      gone) echo "    gone: {ansible_connection: ssh, ansible_host: 127.0.0.1, ansible_port: $closed_port," \
                 "ansible_user: nobody, ansible_ssh_common_args: '-F /dev/null -o ConnectTimeout=5'}" ;;
    esac
  done
  echo "  vars: {ansible_python_interpreter: /usr/bin/python3}"
}
# run EXPECTED_STATUS [ansible-playbook option ...]: one run; its report in $work/report.json.
run() {
  local expected=$1 status=0 before after
  shift
  before=$(find "$work/reports" -type f 2>/dev/null | sort || true)  # none before the first run
  ansible-playbook "$@" -i "$work/inventory.yml" "$here/revise-fonts.yml" \
    -e reviser_install_program=false -e reviser_become=false -e reviser_report_dir="$work/reports" \
    > "$work/play.log" 2>&1 || status=$?
  [[ $status -eq $expected ]] || { cat "$work/play.log"; echo "ansible-playbook ended with $status, not $expected"; exit 1; }
  after=$(find "$work/reports" -type f | sort)
  local new
  new=$(comm -13 <(echo "$before") <(echo "$after"))
  [[ $(wc -l <<<"$new") -eq 1 && $new == */font-revision-report-*Z.json ]] \
    || { echo "the run did not write one new report: $new"; exit 1; }
  cp "$new" "$work/report.json"
}
# machine NAME RESULT STATUS REVISED DRY_RUN [KEY=JSON ...]: that machine's entry in the report.
machine() {
  /usr/bin/python3 - "$work/report.json" "$@" <<'PY'
import json, re, sys
report = json.load(open(sys.argv[1]))
name, result, status, revised, dry = sys.argv[2:7]
m = report["machines"][name]
keys = {"result", "status", "reason", "detail", "dry_run", "version", "patch_set", "revised", "failures",
        "restart_needed", "pending", "summary"}
assert set(m) == keys, sorted(set(m) ^ keys)
assert m["result"] == result, m
assert m["status"] == (None if status == "null" else int(status)), m  # a number, or null
assert len(m["revised"]) == int(revised), m
assert m["dry_run"] == (dry == "yes"), m
assert m["reason"] or result == "ok", m
if m["status"] is not None:
    assert m["version"], m
    assert m["summary"]["status"] == m["status"], m
    assert re.fullmatch(r"unknown|unsigned|[0-9a-f]{64}", m["patch_set"]), m
    assert (m["reason"] is None) == (m["status"] == 0), m  # 21 and every failure say why
for pair in sys.argv[7:]:
    key, value = pair.split("=", 1)
    assert m[key] == json.loads(value), (key, m[key])
assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z", report["time"]), report["time"]
assert report["check_mode"] == (dry == "yes")
for key, field in (("versions", "version"), ("patch_sets", "patch_set")):
    assert report[key] == sorted({v[field] for v in report["machines"].values() if v["version"]}), report[key]
PY
}
machines() {  # the machines of the report, in order
  /usr/bin/python3 -c 'import json, sys; print(" ".join(sorted(json.load(open(sys.argv[1]))["machines"])))' "$work/report.json"
}
restarted() {  # restarted NAME yes|no: whether the restart handler ran for that machine
  if [[ $2 == yes ]]; then grep -q "$1: fonts revised; a restart is needed" "$work/play.log"
  else ! grep -q "$1: fonts revised; a restart is needed" "$work/play.log"; fi || { echo "$1: restart handler run: not $2"; exit 1; }
}
changed() {  # changed NAME COUNT: the play recap's count of changes on that machine
  grep -qE "^$1 +: ok=[0-9]+ +changed=$2 " "$work/play.log" || { grep -A9 "PLAY RECAP" "$work/play.log"; echo "$1: not changed=$2"; exit 1; }
}
fonts() { find "$work/$1/sample-root" -name '*.otf' -printf '%p %T@ %s\n' | sort; }

inventory a > "$work/inventory.yml"
before=$(fonts a)
run 0 --check; machine a ok 0 6 yes reason=null failures=[]; restarted a no; changed a 0
[[ $(fonts a) == "$before" ]] || { echo "check mode changed a font"; exit 1; }
run 0; machine a ok 0 6 no restart_needed=true; restarted a yes
run 0 --check; machine a ok 21 0 yes; changed a 0

# Patches other than those in place: nothing changes in check mode; then they are put in place.
host_a="$work/a/sample-root/Applications/FontReviser/host"
printf 'notes\n' > "$work/a/patches/README"
printf 'old\n' > "$host_a/Velmora old.pa"
run 0 --check; machine a pending null 0 yes 'pending=["patches"]' reason='"pending-install"'
[[ -e "$host_a/Velmora old.pa" && ! -e "$host_a/README" ]] || { echo "check mode changed the host folder"; exit 1; }
run 0; machine a ok 21 0 no
[[ ! -e "$host_a/Velmora old.pa" && -e "$host_a/README" ]] || { echo "the host folder is not the controller's"; exit 1; }

# A fleet: every machine in the report, whatever became of it; only those that failed fail.
inventory a busy partial gone broken > "$work/inventory.yml"
run 2
[[ $(machines) == "a broken busy gone partial" ]] || { echo "report machines: $(machines)"; exit 1; }
machine a ok 21 0 no; restarted a no; changed a 0
machine busy busy 24 0 no reason='"busy"' restart_needed=false
machine partial failed 11 1 no reason='"exchange"' restart_needed=true "patch_set=\"$(printf '%064d' 7)\"" \
  'failures=[{"path": "/usr/share/fonts/b.otf", "code": 11, "reason": "exchange", "detail": "b.otf: rename"}]'
machine gone unreachable null 0 no reason='"unreachable"' version=null
machine broken failed null 0 no reason='"task-failed"' version=null
restarted partial yes; restarted busy no
grep -q "another run of font-reviser is busy there (status 24)" "$work/play.log"
grep -qE "^gone +: .*failed=1" "$work/play.log"; grep -qE "^broken +: .*failed=1" "$work/play.log"

# Batches of one, the first out of reach and the second busy: the batches after them still run.
inventory gone busy a b > "$work/inventory.yml"
run 2 -e reviser_serial=1
[[ $(machines) == "a b busy gone" ]] || { echo "report machines: $(machines)"; exit 1; }
machine gone unreachable null 0 no
machine busy busy 24 0 no
machine a ok 21 0 no
machine b ok 0 6 no restart_needed=true; restarted b yes
echo "playbook: lint clean; one report a run with every machine; check mode changed nothing; fonts revised, restart left to the handler, also after a failure; busy, unreachable and batches reported"
