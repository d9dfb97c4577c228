#!/usr/bin/env bash
# Checks the polkit action file of the helper mode as polkit would read it: valid against
# polkit's DTD, every default one polkit knows, and the program pkexec may run the one given.
# Usage: check_policy.sh POLICY_FILE PROGRAM_PATH
set -euo pipefail
policy=${1:?usage: check_policy.sh POLICY_FILE PROGRAM_PATH}
program=${2:?usage: check_policy.sh POLICY_FILE PROGRAM_PATH}
xmllint --noout --dtdvalid /usr/share/polkit-1/policyconfig-1.dtd "$policy"
# The DTD leaves the defaults free text; polkit refuses a file with a value it does not know.
for value in $(xmllint --xpath '//defaults/*/text()' "$policy"); do
  case $value in
    no | yes | auth_self | auth_admin | auth_self_keep | auth_admin_keep) ;;
    *) echo "$policy: unknown default \"$value\""; exit 1 ;;
  esac
done
path=$(xmllint --xpath 'string(//annotate[@key="org.freedesktop.policykit.exec.path"])' "$policy")
[[ $path == "$program" ]] || { echo "$policy: pkexec may run \"$path\", not \"$program\""; exit 1; }
